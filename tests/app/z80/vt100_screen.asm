; A program in the CP/M transient area (0100h) that draws a VT100 screen
; through the BIOS console output routine: erase and home, text, cursor
; addressing, bold, a line-drawing run through G1 and shift-out, a deleted
; character, and "end" on the last row. Then it waits in a loop.

        include "print_screen.inc"

; The screen as bytes (the assembler's strings cannot hold "[" or ";"):
; ESC[2J ESC[H "VT100 screen" ESC[5;10H ESC[1m "bold" ESC[0m " "
; ESC)0 SO "lqk" SI ESC[3;1H "row three" ESC[3;4H ESC[P ESC[24;1H "end"
screen:
        db 01Bh, 05Bh, 032h, 04Ah, 01Bh, 05Bh, 048h, 056h, 054h, 031h, 030h, 030h, 020h, 073h, 063h, 072h, 065h, 065h, 06Eh
        db 01Bh, 05Bh, 035h, 03Bh, 031h, 030h, 048h, 01Bh, 05Bh, 031h, 06Dh, 062h, 06Fh, 06Ch, 064h, 01Bh, 05Bh, 030h, 06Dh, 020h
        db 01Bh, 029h, 030h, 00Eh, 06Ch, 071h, 06Bh, 00Fh
        db 01Bh, 05Bh, 033h, 03Bh, 031h, 048h, 072h, 06Fh, 077h, 020h, 074h, 068h, 072h, 065h, 065h, 01Bh, 05Bh, 033h, 03Bh, 034h, 048h, 01Bh, 05Bh, 050h
        db 01Bh, 05Bh, 032h, 034h, 03Bh, 031h, 048h, 065h, 06Eh, 064h
        db 0
