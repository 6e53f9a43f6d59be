; Draws, through the BIOS console output, a VT100 screen for a grab of the
; window (the bytes: Screen in frmTavrinCrt_test.cpp), then waits.

        include "print_screen.inc"

screen:
        db 01Bh, 05Bh, 032h, 04Ah, 01Bh, 05Bh, 048h, 041h, 074h, 074h, 072h, 03Ah, 020h, 01Bh, 05Bh, 031h
        db 06Dh, 062h, 06Fh, 06Ch, 064h, 01Bh, 05Bh, 030h, 06Dh, 020h, 01Bh, 05Bh, 034h, 06Dh, 075h, 06Eh
        db 064h, 065h, 072h, 01Bh, 05Bh, 030h, 06Dh, 020h, 01Bh, 05Bh, 037h, 06Dh, 072h, 065h, 076h, 01Bh
        db 05Bh, 030h, 06Dh, 020h, 01Bh, 05Bh, 031h, 03Bh, 033h, 031h, 06Dh, 072h, 065h, 064h, 01Bh, 05Bh
        db 030h, 06Dh, 020h, 01Bh, 05Bh, 035h, 06Dh, 062h, 06Ch, 069h, 06Eh, 06Bh, 01Bh, 05Bh, 030h, 06Dh
        db 01Bh, 05Bh, 033h, 03Bh, 031h, 048h, 01Bh, 023h, 036h, 057h, 069h, 064h, 065h, 020h, 06Ch, 069h
        db 06Eh, 065h, 01Bh, 05Bh, 035h, 03Bh, 031h, 048h, 01Bh, 023h, 033h, 054h, 061h, 06Ch, 06Ch, 00Dh
        db 00Ah, 01Bh, 023h, 034h, 054h, 061h, 06Ch, 06Ch, 01Bh, 05Bh, 038h, 03Bh, 031h, 048h, 01Bh, 028h
        db 030h, 06Ch, 071h, 071h, 06Bh, 00Dh, 00Ah, 078h, 020h, 020h, 078h, 00Dh, 00Ah, 06Dh, 071h, 071h
        db 06Ah, 01Bh, 028h, 042h, 01Bh, 05Bh, 032h, 034h, 03Bh, 031h, 048h, 065h, 06Eh, 064h
        db 0
