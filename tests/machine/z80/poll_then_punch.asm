; Waits a while between pieces of work, over and over: a delay loop that
; checks the TTY keyboard on every turn (14,000 instructions, a key read
; when one waits), then one byte punched.

        org 8000h
start:  ld de, 2000
delay:  in a, (10h)
        and 02h
        jr nz, key
        dec de
        ld a, d
        or e
        jr nz, delay
        ld a, '.'
        out (1Dh), a
        jr start
key:    in a, (11h)
        jr start
