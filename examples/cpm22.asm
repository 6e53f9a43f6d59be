; cpm22.asm - Tavrin example system.
;
; A small stand-in for the CP/M system image, so that the machine boots out
; of the box.  Put a real CP/M 2.2 image built for E400h beside the program
; under the same name to boot CP/M instead.  It occupies the CCP's place
; (E400h) and talks to the hardware only through the BIOS jump table at
; FA00h.
;
; Entry points:
;   E400h  start: banner, directory of drive A, then the echo prompt.  The
;          BIOS enters here on cold and on warm boot.
;   E403h  the echo prompt alone.
;
; Console output after a start (CR LF ends every line):
;   "Tavrin example system"
;   one line per file of drive A: the first extent (extent number 0) of
;   every directory entry whose user byte is 0-31, in directory order,
;   printed as NAME.EXT (blanks trimmed, bit 7 of each character cleared,
;   control characters as "?", the name alone when the type is blank);
;   "Directory read error" instead of the rest of the list when drive A
;   cannot be selected or read;
;   the prompt "> ".
; Then every typed character is echoed.  CR echoes as CR LF followed by a
; new prompt "> ".  Ctrl-C (03h) calls the BIOS warm boot, which reloads this
; image from the system tracks and starts it again.

bios:    equ 0FA00h
wboot:   equ bios + 3
conin:   equ bios + 9
conout:  equ bios + 12
seldsk:  equ bios + 27
settrk:  equ bios + 30
setsec:  equ bios + 33
setdma:  equ bios + 36
read:    equ bios + 39

cr:      equ 0Dh
lf:      equ 0Ah
ctrlc:   equ 03h

dirtrk:  equ 2               ; first directory track
spt:     equ 32              ; sectors per track
dirrecs: equ 64              ; 256 entries of 32 bytes

        org 0E400h
        jp start
        jp prompt

start:  ld sp,stack
        ld hl,banner
        call print
        call listdir
prompt: ld sp,stack
        ld hl,prmtxt
        call print
echo:   call conin
        cp ctrlc
        jp z,wboot
        cp cr
        jr z,echocr
        ld c,a
        call conout
        jr echo
echocr: ld hl,crlf
        call print
        jr prompt

; Print the zero-terminated text at HL.
print:  ld a,(hl)
        or a
        ret z
        push hl
        ld c,a
        call conout
        pop hl
        inc hl
        jr print

; List drive A's directory, one record (four entries) at a time.
listdir:
        ld c,0
        call seldsk
        ld a,h
        or l
        jr z,direrr
        ld bc,dirbuf
        call setdma
        xor a
        ld (recno),a
dirrec: ld a,(recno)
        ld c,a
        ld b,0
        srl c                   ; track = dirtrk + record / spt
        srl c
        srl c
        srl c
        srl c
        ld hl,dirtrk
        add hl,bc
        ld b,h
        ld c,l
        call settrk
        ld a,(recno)
        and spt - 1             ; sector = record mod spt
        ld c,a
        ld b,0
        call setsec
        call read
        or a
        jr nz,direrr
        ld hl,dirbuf
        ld b,4
dirent: push bc
        push hl
        call showent
        pop hl
        ld de,32
        add hl,de
        pop bc
        djnz dirent
        ld a,(recno)
        inc a
        ld (recno),a
        cp dirrecs
        jr c,dirrec
        ret

direrr: ld hl,errtxt
        jp print

; Print the entry at HL when it is the first extent of a file.
showent:
        ld a,(hl)
        cp 32
        ret nc                  ; free (E5h) or not a file
        push hl
        ld de,12
        add hl,de
        ld a,(hl)               ; EX
        and 1Fh
        ld b,a
        inc hl
        inc hl
        ld a,(hl)               ; S2
        and 0Fh
        or b
        pop hl
        ret nz
        push hl
        inc hl                  ; name
        ld b,8
        call trimlen
        call putstr
        pop hl
        ld de,9                 ; type
        add hl,de
        ld b,3
        call trimlen
        ld a,b
        or a
        jr z,shownl
        push hl
        push bc
        ld c,'.'
        call conout
        pop bc
        pop hl
        call putstr
shownl: ld hl,crlf
        jp print

; trimlen: field at HL, B bytes long.  B := length without trailing
; blanks and control characters (bit 7 ignored).  HL is kept.
trimlen:
        push hl
        ld e,b
        ld d,0
        add hl,de
triml1: ld a,b
        or a
        jr z,triml2
        dec hl
        ld a,(hl)
        and 7Fh
        cp 21h
        jr nc,triml2
        dec b
        jr triml1
triml2: pop hl
        ret

; putstr: print B bytes from HL with bit 7 cleared, control characters
; shown as "?".
putstr: ld a,b
        or a
        ret z
        ld a,(hl)
        and 7Fh
        cp 20h
        jr nc,putst1
        ld a,'?'
putst1: push hl
        push bc
        ld c,a
        call conout
        pop bc
        pop hl
        inc hl
        dec b
        jr putstr

banner: db "Tavrin example system"
crlf:   db cr, lf, 0
prmtxt: db "> ", 0
errtxt: db "Directory read error", cr, lf, 0

recno:  db 0

; Work areas follow the image; they need no initial contents.
imgend:
dirbuf: equ imgend
stack:  equ dirbuf + 128 + 64

if stack > 0FA00h
        ld a,image_overlaps_the_bios
endif

        end
