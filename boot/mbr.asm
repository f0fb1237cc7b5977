; Master boot record template (512 bytes). The master boot code takes bytes
; 0-393, 394-445 stay zero (disk signature 0), and the image builder fills
; the partition table at 446-509.
;
; Started by the BIOS at 0000:7C00, the code moves itself to 0000:0600,
; checks the partition table, reads the active partition's first sector to
; 0000:7C00 and jumps to it with DS:SI at the active entry and DL the drive.

bits 16
cpu 386

%include "bpb.inc"
%include "region.inc"

RELOCATED          equ 0x0600
PARTITION_TABLE    equ RELOCATED + MBR_PARTITION_TABLE
READ_ATTEMPTS      equ 10
BAD_SIGNATURE_COST equ 5        ; a sector without 0xAA55 uses up this many attempts
BACKUP_BOOT_OFFSET equ 6        ; FAT32: the backup boot sector follows 6 sectors on

; The BIOS's geometry for CHS reads, as dwords in the zero bytes behind the
; code of the relocated copy (its bytes 394-401).
SECTORS_PER_TRACK  equ RELOCATED + 394
HEADS              equ SECTORS_PER_TRACK + 4

org RELOCATED

mbr:
region_start mbr, mbr, 0
    cli
    xor ax, ax
    mov ss, ax
    mov sp, BOOT_SECTOR
    mov ds, ax
    mov es, ax
    sti
    cld
    mov si, BOOT_SECTOR
    mov di, RELOCATED
    mov cx, SECTOR_SIZE / 2
    rep movsw
    jmp 0:relocated             ; from here on the code runs at 0000:0600

relocated:
    ; Exactly one entry may be active (bit 7); every other one must be 0.
    mov si, PARTITION_TABLE
    xor bp, bp                  ; BP = the active entry, 0 while none
    mov cx, 4
.scan:
    mov al, [si + PART_BOOT_INDICATOR]
    test al, al
    jz .next
    jns invalid_table           ; neither 0 nor active
    test bp, bp
    jnz invalid_table           ; a second active entry
    mov bp, si
.next:
    add si, PART_ENTRY_SIZE
    loop .scan
    test bp, bp
    jnz have_active
    int 0x18                    ; nothing to boot: back to the BIOS
halt:
    hlt
    jmp halt

invalid_table:
    mov si, msg_invalid_table
print_and_halt:
    lodsb
    test al, al
    jz halt
    mov ah, 0x0E
    mov bx, 7
    int 0x10
    jmp print_and_halt

have_active:
    ; LBA reads whenever the BIOS has the INT 13h extensions, whatever the
    ; partition type. Otherwise CHS reads, computed from the entry's start
    ; LBA with the geometry the BIOS reports (AH=08h): the entry's own CHS
    ; bytes hold the builder's geometry, which the BIOS need not share.
    mov dl, [bp + PART_BOOT_INDICATOR]
    mov ah, 0x41
    mov bx, 0x55AA
    int 0x13                    ; leaves DL alone
    jc .no_extensions
    cmp bx, 0xAA55
    jne .no_extensions
    and cx, 1                   ; bit 0: packet (AH=42h) access
    mov bx, cx                  ; BL = 1: LBA reads
    jnz .read
.no_extensions:
    mov ah, 0x08
    int 0x13
    push ds
    pop es                      ; some BIOSes change ES here
    jc .no_geometry
    and ecx, CHS_MAX_SECTOR     ; sectors per track
    jz .no_geometry             ; none: nothing can be read by CHS
    mov [SECTORS_PER_TRACK], ecx
    movzx eax, dh
    inc ax
    mov [HEADS], eax            ; last head + 1
    xor bx, bx                  ; BL = 0: CHS reads

.read:
    mov di, READ_ATTEMPTS       ; DI = attempts left
    xor bh, bh                  ; BH = 1 once a sector came without 0xAA55
.attempt:
    ; The last five attempts of a FAT32 partition read its backup boot sector.
    mov eax, [bp + PART_START_LBA]
    cmp di, BAD_SIGNATURE_COST
    ja .offset_known
    mov cl, [bp + PART_TYPE]
    cmp cl, PART_TYPE_FAT32_CHS
    je .backup
    cmp cl, PART_TYPE_FAT32_LBA
    jne .offset_known
.backup:
    add eax, byte BACKUP_BOOT_OFFSET
.offset_known:
    mov dl, [bp + PART_BOOT_INDICATOR]
    test bl, bl
    jz .read_chs

    ; Disk address packet on the stack: 1 sector to 0000:7C00.
    push dword 0
    push eax
    push word 0
    push word BOOT_SECTOR
    push word 1
    push word 16
    mov si, sp
    mov ah, 0x42
    int 0x13
    lea sp, [si + 16]           ; keeps the carry flag
    jmp .read_done

.read_chs:
    ; Sector, head and cylinder of LBA EAX with the BIOS's geometry; an
    ; address beyond its 1024 cylinders counts as a failed read.
    xor edx, edx
    div dword [SECTORS_PER_TRACK]
    mov cx, dx
    inc cx                      ; sector 1..63
    xor edx, edx
    div dword [HEADS]           ; EAX = cylinder, DX = head
    cmp eax, CHS_CYLINDERS
    jae .failed
    mov dh, dl
    mov ch, al
    shl ah, 6
    or cl, ah                   ; cylinder bits 8-9 in bits 6-7
    mov dl, [bp + PART_BOOT_INDICATOR]
    push bx
    mov bx, BOOT_SECTOR
    mov ax, 0x0201
    int 0x13
    pop bx

.read_done:
    jc .failed
    cmp word [BOOT_SECTOR + BOOT_SIGNATURE], 0xAA55
    je .boot
    mov bh, 1
    sub di, BAD_SIGNATURE_COST - 1
.failed:
    push bx
    xor ah, ah                  ; reset the disk before the next attempt
    mov dl, [bp + PART_BOOT_INDICATOR]
    int 0x13
    pop bx
    dec di
    jg .attempt

    mov si, msg_missing_os
    test bh, bh
    jnz .print
.no_geometry:
    mov si, msg_load_error
.print:
    jmp print_and_halt

.boot:
    mov si, bp                  ; DS:SI = the active entry
    mov dl, [bp + PART_BOOT_INDICATOR]
    jmp 0:BOOT_SECTOR

msg_invalid_table: db "Invalid partition table", 0
msg_load_error:    db "Error loading operating system", 0
msg_missing_os:    db "Missing operating system", 0
region_end mbr, 394

    times MBR_PARTITION_TABLE - ($ - mbr) db 0   ; 394-445: zero, disk signature 0
    times 510 - ($ - mbr) db 0                   ; partition entries, filled by the builder
    dw 0xAA55
