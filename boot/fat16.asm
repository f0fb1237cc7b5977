; FAT16 boot sector template (512 bytes). The image builder overwrites
; bytes 0-61 (jump, OEM name, BPB); the boot code takes 62-509, with the
; file names at 472 and 483.
;
; Finds JO.SYS, else IO.SYS, in the root directory, loads its first four
; sectors to 0070:0000 and enters it at 0070:0200 with DL the drive, SS:BP
; the boot sector, the first data sector at SS:BP-4 and DI the file's first
; cluster.

bits 16
cpu 386

%include "bpb.inc"
%include "region.inc"

%define VBR_DRIVE FAT16_DRIVE_NUMBER
SCRATCH_BUFFER equ 0x7E00       ; one directory sector
NAME_AREA      equ 472          ; file names kept at fixed offsets

org BOOT_SECTOR

boot_sector:
    jmp short boot_code
    nop
    db "MSWIN4.1"

region_start fat16_code, boot_sector, 62
boot_code:
%include "vbr_start.inc"

    ; Root directory: after the reserved sectors and the FATs (a FAT16
    ; volume's FATs and reserved sectors add up to less than 65536); its
    ; size in 512-byte sectors from the number of 32-byte entries.
    mov al, [bp + BPB_FAT_COUNT]
    cbw
    mul word [bp + BPB_SECTORS_PER_FAT16]
    add ax, [bp + BPB_RESERVED_SECTORS]
    cwde                        ; less than 32768
    add eax, [bp + BPB_HIDDEN_SECTORS]
    mov [bp + DATA_START], eax  ; the root directory for now
    movzx edx, word [bp + BPB_ROOT_ENTRIES]
    add dx, byte SECTOR_SIZE / DIR_ENTRY_SIZE - 1
    shr dx, 4                   ; EDX = root directory sectors

    ; Two passes over the root directory: for JO.SYS, then for IO.SYS. The
    ; name at io_sys_name is changed in place: 'J' (0x4A), 'I' (0x49), and
    ; 'H' (0x48, even parity) once both passes are done.
    mov si, io_sys_name
    inc byte [si]
find_pass:
    mov eax, [bp + DATA_START]
    mov cx, dx
    mov bx, SCRATCH_BUFFER
.sector:
    call read_sector
    mov di, bx
.entry:
    pusha
    mov cl, DIR_NAME_SIZE       ; CH is 0: fewer than 256 root sectors
    repe cmpsb
    popa
    je found
    add di, DIR_ENTRY_SIZE
    jns .entry                  ; the buffer ends at 0x8000
    inc eax
    loop .sector
    dec byte [si]
    jpo find_pass
invalid_system_disk:
    mov si, msg_invalid_system
    jmp fatal

found:
    add [bp + DATA_START], edx  ; now the first data sector
    mov di, [di + DIR_CLUSTER_LOW]
    lea ax, [di - 2]
    movzx cx, byte [bp + BPB_SECTORS_PER_CLUSTER]
    mul cx
    push dx
    push ax
    pop eax
    add eax, [bp + DATA_START]
    mov bx, LOADER_ADDRESS
    mov cl, LOADER_SECTORS
.load:
    call read_sector
    inc eax
    add bh, SECTOR_SIZE / 256
    loop .load
    mov dl, [bp + VBR_DRIVE]
    jmp LOADER_SEGMENT:LOADER_ENTRY

%include "vbr_services.inc"
region_end fat16_code, NAME_AREA

io_sys_name:    db "IO      SYS"
msdos_sys_name: db "MSDOS   SYS"

region_start fat16_tail, boot_sector, 494
msg_disk_error: db "Disk I/O error", 0
region_end fat16_tail, 510
    dw 0xAA55
