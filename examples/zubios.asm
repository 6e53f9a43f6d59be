; zubios.asm - example CP/M 2.2 BIOS for the Tavrin machine.
;
; Memory map of a 64K system:
;   E400h-EBFFh  CCP   (entered at E400h on cold and warm boot)
;   EC00h-F9FFh  BDOS  (entry EC06h)
;   FA00h-      BIOS  (this file; code, tables, then uninitialised buffers)
;
; The machine loads the CP/M image and this BIOS into memory, writes both,
; starting with the first byte of the CP/M image, onto tracks 0 and 1 of
; drive A (record k holds E400h + 128*k), and starts the CPU at FA00h.
; Warm boot therefore reloads E400h-F9FFh from the first 44 records of drive A.
;
; Character devices follow the IOBYTE at 0003h, whose cold-boot value is
; read from port 48h:
;   CON  0 TTY 10h/11h   1 CRT 12h/13h   2 BAT (RDR in, LST out) 3 COM1 14h/15h
;   RDR  0 TTY 10h/11h   1 COM2 16h/17h  2 reader 1Ah/1Bh        3 null (1Ah)
;   PUN  0 TTY 10h/11h   1 COM2 16h/17h  2 punch 1Ch/1Dh         3 null
;   LST  0 TTY 10h/11h   1 CRT 12h/13h   2 printer 18h/19h       3 COM2 16h/17h
; Status ports: bit 1 = input byte waiting, bit 2 = ready for output.
; Every wait loop reads the IOBYTE again, so a mapping changed from the host
; takes effect even while a routine waits for a device.
;
; Disks A-D sit on the controller at ports 70h-77h: 256 tracks of 32
; 128-byte sectors, two reserved tracks, 2K blocks, 256 directory entries.
; Sectors are not skewed.  A drive without a disk gives a select error.

ccp:     equ 0E400h
bdos:    equ 0EC06h
iobyte:  equ 0003h
cdisk:   equ 0004h
tbuff:   equ 0080h

; I/O ports
mapport: equ 48h             ; cold-boot IOBYTE
dskcmd:  equ 70h             ; command (write) / status (read)
dskdrv:  equ 71h
dsksecl: equ 72h
dsksech: equ 73h
dsktrkl: equ 74h
dsktrkh: equ 75h
dskdmal: equ 76h
dskdmah: equ 77h

cmdrst:  equ 0               ; controller commands
cmdhome: equ 1
cmdread: equ 2
cmdwrit: equ 3

spt:     equ 32              ; sectors per track

        org 0FA00h
bios:
        jp boot
wboote: jp wboot
        jp const
        jp conin
        jp conout
        jp list
        jp punch
        jp reader
        jp home
        jp seldsk
        jp settrk
        jp setsec
        jp setdma
        jp read
        jp write
        jp listst
        jp sectran

; CCP and BDOS fill whole records from E400h up to the BIOS.
nsects:  equ (bios - ccp) / 128

; ---------------------------------------------------------------- boot

boot:   ld sp,tbuff
        in a,(mapport)
        ld (iobyte),a
        xor a
        ld (cdisk),a            ; drive A, user 0
        ld hl,signon
        call prmsg
        jp gocpm

; Warm boot: reset the controller first, which reopens the mounted images
; so that changes made to them from the host are seen, then reload the
; CCP and BDOS.  A failed load waits for a key and tries again, so the
; user can put a disk into drive A meanwhile.
wboot:  ld sp,tbuff
        xor a
        out (dskcmd),a          ; cmdrst
        ld c,0
        call seldsk
        ld a,h
        or l
        jr z,booterr
        ld bc,0
        call settrk
        ld bc,0
        call setsec
        ld bc,ccp
        call setdma
        ld b,nsects
wbload: push bc
        call read
        pop bc
        or a
        jr nz,booterr
        ld hl,(dmaad)
        ld de,128
        add hl,de
        ld (dmaad),hl
        ld hl,(sector)
        inc hl
        ld a,l
        cp spt
        jr nz,wbsame
        ld hl,(track)
        inc hl
        ld (track),hl
        ld hl,0
wbsame: ld (sector),hl
        djnz wbload
        jp gocpm

booterr:
        ld hl,bootmsg
        call prmsg
        call conin
        jp wboot

; Page zero jumps, default DMA, then the CCP with the current drive in C.
; A current drive that no longer holds a disk falls back to drive A, or
; the CCP's select error would warm boot into the same error for ever.
gocpm:  ld a,0C3h
        ld (0000h),a
        ld hl,wboote
        ld (0001h),hl
        ld (0005h),a
        ld hl,bdos
        ld (0006h),hl
        ld bc,tbuff
        call setdma
        ld a,(cdisk)
        and 0Fh
        ld c,a
        call seldsk
        ld a,h
        or l
        jr nz,gocpm1
        ld a,(cdisk)
        and 0F0h
        ld (cdisk),a
gocpm1: ld a,(cdisk)
        ld c,a
        jp ccp

; Print the zero-terminated text at HL on the console.
prmsg:  ld a,(hl)
        or a
        ret z
        push hl
        ld c,a
        call conout
        pop hl
        inc hl
        jr prmsg

; ------------------------------------------------------ character devices

; devport: A = IOBYTE field value (0-3), HL = device table.
; Returns L = status port (0 for the null device), H = data port.
devport:
        add a,a
        add a,l
        ld l,a
        jr nc,devp1
        inc h
devp1:  ld a,(hl)
        inc hl
        ld h,(hl)
        ld l,a
        ret

; instat: L = status port.  A = FFh when an input byte waits, else 0.
; The null device always has its end-of-file byte ready.
instat: ld a,l
        or a
        jr z,instrd
        ld c,l
        in a,(c)
        and 2
        ret z
instrd: ld a,0FFh
        ret

; putch: C = character, A = field value, HL = device table.
; Z set when the device is not ready yet (nothing written); the null device
; swallows the character.
putch:  call devport
        ld a,l
        or a
        jr z,putnul
        ld b,c
        ld c,l
        in a,(c)
        and 4
        ld c,b
        ret z
        ld a,b
        ld c,h
        out (c),a
        ld c,b
        ret                     ; NZ from the status test
putnul: inc a                   ; NZ: done
        ret

confld: ld a,(iobyte)
        and 3
        ret

rdrfld: ld a,(iobyte)
        rrca
        rrca
        and 3
        ret

punfld: ld a,(iobyte)
        rrca
        rrca
        rrca
        rrca
        and 3
        ret

lstfld: ld a,(iobyte)
        rlca
        rlca
        and 3
        ret

const:  call confld
        cp 2
        jr z,rdrst
        ld hl,contab
        call devport
        jp instat

conin:  call const
        or a
        jr z,conin
        call confld
        cp 2
        jp z,reader
        ld hl,contab
        call devport
        ld c,h
        in a,(c)
        ret

conout: call confld
        cp 2
        jr z,list
        ld hl,contab
        call putch
        jr z,conout
        ret

rdrst:  call rdrfld
        ld hl,rdrtab
        call devport
        jp instat

reader: call rdrst
        or a
        jr z,reader
        call rdrfld
        ld hl,rdrtab
        call devport
        ld a,l
        or a
        ld a,1Ah                ; the null device reads as end of file
        ret z
        ld c,h
        in a,(c)
        ret

punch:  call punfld
        ld hl,puntab
        call putch
        jr z,punch
        ret

list:   call lstfld
        ld hl,lsttab
        call putch
        jr z,list
        ret

listst: call lstfld
        ld hl,lsttab
        call devport
        ld c,l
        in a,(c)
        and 4
        ret z
        ld a,0FFh
        ret

; Device tables: status port, data port per IOBYTE field value.
contab: db 10h,11h, 12h,13h, 0,0, 14h,15h      ; entry 2 (BAT) is not used
rdrtab: db 10h,11h, 16h,17h, 1Ah,1Bh, 0,0
puntab: db 10h,11h, 16h,17h, 1Ch,1Dh, 0,0
lsttab: db 10h,11h, 12h,13h, 18h,19h, 16h,17h

; ------------------------------------------------------------------ disks

home:   ld bc,0
settrk: ld (track),bc
        ret

setsec: ld (sector),bc
        ret

setdma: ld (dmaad),bc
        ret

sectran:
        ld h,b
        ld l,c
        ret

; Drives 0-3 that hold a disk; the home command reports an empty drive.
seldsk: ld hl,0
        ld a,c
        cp 4
        ret nc
        out (dskdrv),a
        ld a,cmdhome
        out (dskcmd),a
        in a,(dskcmd)
        or a
        ret nz
        ld a,c
        ld (diskno),a
        ld l,c
        ld h,0
        add hl,hl
        add hl,hl
        add hl,hl
        add hl,hl
        ld de,dpbase
        add hl,de
        ret

read:   ld e,cmdread
        jr rwsec

write:  ld e,cmdwrit
rwsec:  ld a,(diskno)
        out (dskdrv),a
        ld hl,(sector)
        ld a,l
        out (dsksecl),a
        ld a,h
        out (dsksech),a
        ld hl,(track)
        ld a,l
        out (dsktrkl),a
        ld a,h
        out (dsktrkh),a
        ld hl,(dmaad)
        ld a,l
        out (dskdmal),a
        ld a,h
        out (dskdmah),a
        ld a,e
        out (dskcmd),a
        in a,(dskcmd)
        or a
        ret z
        ld a,1
        ret

; ------------------------------------------------------------------- data

signon: db "Tavrin 64K BIOS", 13, 10, 0
bootmsg:
        db 13, 10
        db "Boot error on drive A, press a key to retry", 13, 10, 0

diskno: db 0
track:  dw 0
sector: dw 0
dmaad:  dw tbuff

; Disk parameter headers: no translation, scratch, DIRBUF, DPB, CSV, ALV.
dpbase: dw 0, 0, 0, 0, dirbuf, dpb, csv0, alv0
        dw 0, 0, 0, 0, dirbuf, dpb, csv1, alv1
        dw 0, 0, 0, 0, dirbuf, dpb, csv2, alv2
        dw 0, 0, 0, 0, dirbuf, dpb, csv3, alv3

; 1 MB image: 256 tracks x 32 sectors, 2 system tracks, 508 blocks of 2K.
; The directory checksums (CKS = 64) let the BDOS notice a disk that was
; changed under it and protect it from writes until the next warm boot.
dpb:    dw spt          ; SPT
        db 4            ; BSH: 2048-byte blocks
        db 15           ; BLM
        db 0            ; EXM
        dw 507          ; DSM
        dw 255          ; DRM
        db 0F0h         ; AL0: four directory blocks
        db 00h          ; AL1
        dw 64           ; CKS
        dw 2            ; OFF

; Buffers follow the image; they need no initial contents.
biosend:
dirbuf: equ biosend
alv0:   equ dirbuf + 128        ; DSM / 8 + 1 = 64 bytes each
alv1:   equ alv0 + 64
alv2:   equ alv1 + 64
alv3:   equ alv2 + 64
csv0:   equ alv3 + 64           ; CKS = 64 bytes each
csv1:   equ csv0 + 64
csv2:   equ csv1 + 64
csv3:   equ csv2 + 64
ramend: equ csv3 + 64

if ramend > 10000h
        ld a,bios_buffers_pass_top_of_memory
endif

        end
