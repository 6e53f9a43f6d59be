; Processor benchmark workload: an endless mix of 8- and 16-bit arithmetic,
; BCD, block moves and compares, bit operations, IX/IY indexing, calls and
; port I/O. The benchmark runs it for a fixed number of instructions.

        org 0000h

start:  ld sp, 0F000h
        ld ix, table
        ld iy, table + 80h
        ; fill the 256-byte table with a pattern
        ld hl, table
        ld b, 0
        xor a
fill:   ld (hl), a
        add a, 37
        inc hl
        djnz fill

main:   call arith8
        call arith16
        call bcd
        call blocks
        call bits
        call indexed
        call io
        jp main

; 8-bit arithmetic and logic on registers and immediates
arith8: ld b, 64
        ld a, 1
        ld c, 3
        ld d, 5
        ld e, 7
a8loop: add a, c
        adc a, d
        sub e
        sbc a, 2
        and 0FEh
        xor c
        or d
        cp e
        inc c
        dec d
        rlca
        rra
        neg
        cpl
        djnz a8loop
        ret

; 16-bit arithmetic
arith16:
        ld b, 48
        ld hl, 1234h
        ld de, 0F0Fh
a16loop:
        push bc
        ld bc, 0101h
        add hl, de
        adc hl, bc
        sbc hl, de
        inc de
        dec bc
        ex de, hl
        add hl, bc
        ex de, hl
        pop bc
        djnz a16loop
        ret

; add two 8-digit BCD numbers a few times
bcd:    ld c, 16
bcdrep: ld hl, bcd1 + 3
        ld de, bcd2 + 3
        ld b, 4
        or a
bcdlp:  ld a, (de)
        adc a, (hl)
        daa
        ld (de), a
        dec hl
        dec de
        djnz bcdlp
        dec c
        jr nz, bcdrep
        ret

; block moves and searches
blocks: ld hl, table
        ld de, buffer
        ld bc, 256
        ldir
        ld hl, buffer + 255
        ld de, buffer2 + 255
        ld bc, 128
        lddr
        ld hl, buffer
        ld bc, 256
        ld a, 0FFh
        cpir
        ld hl, buffer
        ld bc, 200
        ld a, (buffer + 150)
        cpir
        ret

; bit operations on registers and memory
bits:   ld b, 32
        ld hl, buffer
bitlp:  ld a, (hl)
        bit 0, a
        jr z, bit1
        set 7, (hl)
bit1:   res 3, (hl)
        rl (hl)
        rr c
        sla a
        srl a
        sra d
        rlc e
        bit 7, (hl)
        set 2, a
        res 5, a
        inc hl
        djnz bitlp
        ret

; indexed access through IX and IY
indexed:
        ld b, 40
        ld ix, table
        ld iy, buffer
idxlp:  ld a, (ix+0)
        add a, (ix+1)
        sub (iy+2)
        ld (iy+3), a
        inc (ix+4)
        dec (iy+5)
        xor (ix+6)
        ld (ix+7), a
        rlc (iy+8)
        bit 4, (ix+9)
        inc ix
        inc iy
        djnz idxlp
        ret

; port I/O through a subroutine
io:     ld b, 16
iolp:   call putc
        djnz iolp
        ret
putc:   ld a, b
        out (10h), a
        in a, (11h)
        push de
        ld e, a
        pop hl
        ld c, 12h
        out (c), e
        in e, (c)
        ret

bcd1:   db 12h, 34h, 56h, 78h
bcd2:   db 00h, 00h, 00h, 00h

; work areas above the program
table:  equ 4000h
buffer: equ 4100h
buffer2: equ 4200h
