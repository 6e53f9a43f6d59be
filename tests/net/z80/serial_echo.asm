; Echoes both serial lines: every byte received on COM1 (ports 14h/15h) or
; COM2 (ports 16h/17h) is sent back on the same line once the line can take
; it (status bit 1 = byte waiting, bit 2 = room to send).

        org 0100h
start:  ld sp, 0F000h
loop:   in a, (14h)
        and 02h
        jr z, com2
        in a, (15h)
        ld b, a
wait1:  in a, (14h)
        and 04h
        jr z, wait1
        ld a, b
        out (15h), a
com2:   in a, (16h)
        and 02h
        jr z, loop
        in a, (17h)
        ld b, a
wait2:  in a, (16h)
        and 04h
        jr z, wait2
        ld a, b
        out (17h), a
        jr loop
