; FAT32 boot area template (3 sectors): the boot sector, the FSInfo sector
; and the second part of the boot code. The image builder overwrites the
; BPB of sector 0 (bytes 0-89 but 52-63) and the FSInfo counts.
;
; Sector 0 sets up, reads sectors 1 and 2 of the volume to 0000:7E00 (or
; the two behind the backup boot sector) and goes on in sector 2, which
; follows the root directory's cluster chain to IO.SYS, loads its first
; four sectors to 0070:0000 and enters it at 0070:0200 with DL the drive,
; SS:BP the boot sector, the first data sector at SS:BP-4 and SI:DI the
; file's first cluster.

bits 16
cpu 386

%include "bpb.inc"
%include "region.inc"

%define VBR_DRIVE FAT32_DRIVE_NUMBER
%define VBR_READ_TRY
SCRATCH_BUFFER    equ 0x7E00    ; sectors 1 and 2 go here
STAGE2            equ BOOT_SECTOR + 2 * SECTOR_SIZE
DIR_BUFFER        equ STAGE2 + SECTOR_SIZE    ; directory and FAT sectors
NAME_AREA         equ 472       ; file names kept at fixed offsets
FAT_ENTRY_MASK    equ 0x0FFFFFFF
FAT_LAST_CLUSTER  equ 0x0FFFFFF6  ; above: bad cluster or end of chain
MIN_RESERVED      equ 3         ; the backup copy is used only beyond these

org BOOT_SECTOR

boot_sector:
    jmp short boot_code
    nop
    db "MSWIN4.1"

region_start fat32_code, boot_sector, 90
boot_code:
%include "vbr_start.inc"

    cmp word [bp + BPB_SECTORS_PER_FAT16], byte 0
    jne invalid_system_disk
    mov eax, [bp + BPB_HIDDEN_SECTORS]
    call load_stage2
    jnc .loaded
    ; Sectors 1 and 2 unreadable: the two behind the backup boot sector.
    movzx eax, word [bp + FAT32_BACKUP_BOOT]
    cmp ax, MIN_RESERVED
    jb disk_error
    cmp word [bp + BPB_RESERVED_SECTORS], byte MIN_RESERVED
    jbe disk_error
    add eax, [bp + BPB_HIDDEN_SECTORS]
    call load_stage2
    jc disk_error
.loaded:
    ; The backup's neighbours may hold no code at all: sector 2 must end
    ; like a boot sector before it is entered.
    cmp word [STAGE2 + BOOT_SIGNATURE], 0xAA55
    je stage2
invalid_system_disk:
    mov si, msg_invalid_system
    jmp fatal

; load_stage2: reads the two sectors after sector EAX to 0000:7E00.
; Returns with carry set when one cannot be read.
load_stage2:
    mov bx, SCRATCH_BUFFER
    mov cx, 2
.next:
    inc eax
    call read_sector_try
    jc .end
    add bh, SECTOR_SIZE / 256
    loop .next
.end:
    ret

%include "vbr_services.inc"
msg_disk_error: db "Disk I/O error", 0
region_end fat32_code, NAME_AREA

io_sys_name:    db "IO      SYS"
msdos_sys_name: db "MSDOS   SYS"
    times 497 - ($ - boot_sector) db 0
winboot_name:   db "WINBOOT SYS"
    times 510 - ($ - boot_sector) db 0
    dw 0xAA55

; Sector 1: FSInfo. The builder replaces both counts with 0xFFFFFFFF.
fsinfo:
    db "RRaA"
    times 484 - ($ - fsinfo) db 0
    db "rrAa"
    dd 0xFFFFFFFF               ; free cluster count
    dd 0xFFFFFFFF               ; next free cluster
    times 508 - ($ - fsinfo) db 0
    db 0, 0, 0x55, 0xAA

; Sector 2: the second part of the boot code, run at 0000:8000.
sector2:
region_start fat32_stage2, sector2, 0
stage2:
    cmp word [bp + FAT32_VERSION], byte 0
    jne invalid_system_disk

    ; The diskette table copy gets the sectors per track that the BPB in
    ; memory now holds (the BIOS's on a hard disk).
    mov al, [bp + BPB_SECTORS_PER_TRACK]
    mov [DISKETTE_TABLE_COPY + DPT_SECTORS_PER_TRACK], al

    ; FAT 0 follows the reserved sectors; the active FAT is the one that
    ; bits 0-3 of the extended flags name; the data area follows all FATs.
    movzx ebx, word [bp + BPB_RESERVED_SECTORS]
    add ebx, [bp + BPB_HIDDEN_SECTORS]
    mov al, [bp + FAT32_EXT_FLAGS]
    and eax, 0x0F
    mul dword [bp + FAT32_SECTORS_PER_FAT]
    add eax, ebx
    mov [active_fat], eax
    movzx eax, byte [bp + BPB_FAT_COUNT]
    mul dword [bp + FAT32_SECTORS_PER_FAT]
    add eax, ebx
    mov [bp + DATA_START], eax

    ; Each cluster of the root directory in turn, each of its entries.
    mov eax, [bp + FAT32_ROOT_CLUSTER]
.cluster:
    call check_cluster
    push eax
    call cluster_to_sector
    movzx cx, byte [bp + BPB_SECTORS_PER_CLUSTER]
    mov bx, DIR_BUFFER
.sector:
    call read_sector
    mov di, bx
.entry:
    cmp byte [di], 0
    je invalid_system_disk      ; end of the directory: no IO.SYS
    pusha
    mov si, io_sys_name
    mov cx, DIR_NAME_SIZE
    repe cmpsb
    popa
    jne .next_entry
    test byte [di + DIR_ATTRIBUTES], ATTR_NOT_A_FILE
    jz .found
.next_entry:
    add di, DIR_ENTRY_SIZE
    cmp di, DIR_BUFFER + SECTOR_SIZE
    jb .entry
    inc eax
    loop .sector
    pop eax
    call next_cluster
    dec word [cluster_budget]   ; a chain that runs in a circle ends here
    jnz .cluster
    jmp invalid_system_disk

.found:
    pop eax
    mov si, [di + DIR_CLUSTER_HIGH]
    mov di, [di + DIR_CLUSTER_LOW]
    push si
    push di
    pop eax                     ; EAX = SI:DI = the file's first cluster
    call check_cluster
    call cluster_to_sector
    mov bx, LOADER_ADDRESS
    mov cx, LOADER_SECTORS
.load:
    call read_sector
    inc eax
    add bh, SECTOR_SIZE / 256
    loop .load
    cmp word [LOADER_ADDRESS], "MZ"
    jne invalid_system_disk
    cmp word [LOADER_ADDRESS + SECTOR_SIZE], "BJ"
    jne invalid_system_disk
    mov dl, [bp + VBR_DRIVE]
    jmp LOADER_SEGMENT:LOADER_ENTRY

; read_sector: read_sector_try (sector 0), with "Disk I/O error" when the
; read fails.
read_sector:
    call read_sector_try
    jc disk_error
    ret

; check_cluster: "Invalid system disk" unless EAX is a cluster of the data
; area (not free, reserved, bad or end of chain).
check_cluster:
    cmp eax, 2
    jb invalid_system_disk
    cmp eax, FAT_LAST_CLUSTER
    ja invalid_system_disk
    ret

; cluster_to_sector: EAX = cluster -> EAX = its first sector.
cluster_to_sector:
    dec eax
    dec eax
    movzx ecx, byte [bp + BPB_SECTORS_PER_CLUSTER]
    mul ecx
    add eax, [bp + DATA_START]
    ret

; next_cluster: EAX = cluster -> EAX = the next one of its chain.
next_cluster:
    mov si, ax
    and si, SECTOR_SIZE / 4 - 1
    shl si, 2                   ; SI = the entry's offset in its FAT sector
    shr eax, 7                  ; EAX = the FAT sector, counted from the FAT
    add eax, [active_fat]
    mov bx, DIR_BUFFER
    call read_sector
    mov eax, [bx + si]
    and eax, FAT_ENTRY_MASK
    ret

active_fat:     dd 0
cluster_budget: dw 0            ; 65536 clusters at most
region_end fat32_stage2, 390
    times 510 - ($ - sector2) db 0
    dw 0xAA55
