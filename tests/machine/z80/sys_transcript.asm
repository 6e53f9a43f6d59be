; One system-manager request as a CP/M program makes it: the command text
; (zero-terminated at CMD) goes out byte by byte between OUT (40h),0 and
; OUT (40h),1; the status port is sampled once the command has run; the
; reply is read from port 41h until 1Ah and stored at REPLY with its length.

CMD:    equ 9000h
STATUS: equ 8F00h           ; IN (40h) right after the command ran
LENGTH: equ 8F02h           ; reply bytes stored (16 bits)
REPLY:  equ 0A000h

        org 8000h
start:  ld sp, 8E00h
        xor a
        out (40h), a        ; new command, disk-changed flag cleared
        ld hl, CMD
send:   ld a, (hl)
        or a
        jr z, run
        out (41h), a
        inc hl
        jr send
run:    ld a, 1
        out (40h), a        ; the command runs inside this OUT
        in a, (40h)
        ld (STATUS), a
        ld hl, REPLY
        ld de, 0
recv:   in a, (41h)
        cp 1Ah
        jr z, done
        ld (hl), a
        inc hl
        inc de
        jr recv
done:   ld (LENGTH), de
        halt
