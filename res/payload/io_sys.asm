; IO.SYS stand-in: the first file a DOS 7 boot sector loads. It is an MZ
; file with "BJ" at offset 512; the boot code loads its first four sectors
; (this whole file) to 0070:0000 and enters it at 0070:0200, where the "BJ"
; runs as two harmless instructions.
;
; It prints, on the screen and to port 0xE9, what it was handed: the boot
; drive, the boot sector through SS:BP, the first data sector at SS:BP-4,
; the start cluster (DI, or SI:DI on FAT32) against the root directory's
; entry for IO.SYS (the whole FAT16 root, the FAT32 root's cluster chain),
; the access byte at SS:BP+2 against the BIOS's INT 13h extensions, the
; diskette table and the stack, and the geometry in the BPB against the
; BIOS's, then a PASS or FAIL line, leaves QEMU through isa-debug-exit
; when there is one (exit code 1 for PASS, 3 for FAIL) and halts. Its own
; reads go by LBA when the BIOS has the extensions, else by CHS with the
; BIOS's geometry. Run as a DOS program it only says what it is.

bits 16
cpu 386
%include "mz_header.inc"

FILE_SIZE           equ 2048    ; four sectors: all the boot code loads
HEADER_BYTES        equ 512     ; "BJ" must stand at offset 512
MZ_FIELDS_SIZE      equ 32
END_MARK_OFFSET     equ FILE_SIZE - 4

LOADER_SEGMENT      equ 0x0070
BOOT_SECTOR         equ 0x7C00
DATA_START_DWORD    equ BOOT_SECTOR - 4
INT1E_VECTOR        equ 0x1E * 4
EXPECTED_TABLE_COPY equ 0x0522  ; where the boot code puts the diskette table
TABLE_SIZE          equ 11
TABLE_SPT           equ 4       ; sectors per track in the diskette table
TABLE_HEAD_SETTLE   equ 9
EXPECTED_HEAD_SETTLE equ 15
SECTOR_BUFFER       equ 0x2000  ; in segment 0, for our own reads
OWN_STACK_TOP       equ 0x1000  ; in our segment: linear 0x1700

; Boot sector fields, as offsets from its start.
BPB_BYTES_PER_SECTOR    equ 11
BPB_SECTORS_PER_CLUSTER equ 13
BPB_RESERVED_SECTORS    equ 14
BPB_FAT_COUNT           equ 16
BPB_ROOT_ENTRIES        equ 17
BPB_SECTORS_PER_FAT16   equ 22
BPB_SECTORS_PER_TRACK   equ 24
BPB_HEADS               equ 26
BPB_HIDDEN_SECTORS      equ 28
FAT16_DRIVE             equ 36
FAT16_LABEL             equ 43
FAT32_SECTORS_PER_FAT   equ 36
FAT32_EXT_FLAGS         equ 40      ; bit 7: one active FAT, bits 0-3 its number
FAT32_ROOT_CLUSTER      equ 44
FAT32_DRIVE             equ 64
FAT32_LABEL             equ 71
BOOT_ACCESS             equ 2       ; 0x0E: LBA reads, anything else CHS
BOOT_SIGNATURE          equ 510
LABEL_SIZE              equ 11

ACCESS_LBA              equ 0x0E
EXT_FLAGS_ONE_FAT       equ 0x80
EXT_FLAGS_ACTIVE_FAT    equ 0x0F
FAT32_ENTRY_MASK        equ 0x0FFFFFFF
FAT32_LAST_CLUSTER      equ 0x0FFFFFF6  ; above: bad cluster or end of chain
FAT32_ENTRY_SHIFT       equ 2           ; 4 bytes per FAT entry
FAT32_ENTRIES_SHIFT     equ 7           ; 128 entries per FAT sector
CHS_CYLINDERS           equ 1024

DIR_ENTRY_SIZE          equ 32
DIR_CLUSTER_HIGH        equ 20
DIR_CLUSTER_LOW         equ 26
SECTOR_SIZE             equ 512

DEBUG_CONSOLE_PORT      equ 0xE9
DEBUG_EXIT_PORT         equ 0xF4

org 0

file_start:
    mz_header FILE_SIZE, HEADER_BYTES, dos_entry - module, FILE_SIZE - HEADER_BYTES + MZ_EXTRA_PARAGRAPHS * 16
    times MZ_FIELDS_SIZE - ($ - file_start) db 0

; The rest of the header area is loaded with the file, so it holds code
; too (DOS reads only the fields above).
; check_loaded_sectors: all four sectors of this file are in memory.
check_loaded_sectors:
    call say
    db "4 sectors at 0070:0000: MZ, BJ and the end mark", 0
    cmp word [file_start], "MZ"
    jne .checked
    cmp word [module], "BJ"
    jne .checked
    cmp dword [END_MARK_OFFSET], END_MARK
.checked:
    jmp verdict

; check_diskette_table: INT 1Eh points at the copy at 0000:0522 with head
; settle time 15; the stack holds 0000:0078 and then the original vector,
; and the copy equals the original but for the bytes the boot code sets.
check_diskette_table:
    call say
    db "INT 1Eh ", 0
    mov eax, [es:INT1E_VECTOR]
    call far_pointer
    call say
    db ", head settle ", 0
    mov al, [es:EXPECTED_TABLE_COPY + TABLE_HEAD_SETTLE]
    call hex8
    call say
    db ", [SS:SP] ", 0
    push es
    mov es, [entry_ss]
    mov bx, [entry_sp]
    mov eax, [es:bx]
    mov [stack_dword], eax
    mov eax, [es:bx + 4]
    mov [original_table], eax
    pop es
    mov eax, [stack_dword]
    call far_pointer
    call say
    db ", original table ", 0
    mov eax, [original_table]
    call far_pointer

    cmp dword [es:INT1E_VECTOR], EXPECTED_TABLE_COPY
    jne .checked
    cmp byte [es:EXPECTED_TABLE_COPY + TABLE_HEAD_SETTLE], EXPECTED_HEAD_SETTLE
    jne .checked
    cmp dword [stack_dword], INT1E_VECTOR
    jne .checked
    ; byte for byte, but for head settle (and sectors per track on FAT32)
    push ds
    lds si, [original_table]
    mov di, EXPECTED_TABLE_COPY
    xor bx, bx
.byte:
    mov al, [si + bx]
    cmp bx, TABLE_HEAD_SETTLE
    je .next
    cmp bx, TABLE_SPT
    jne .compare
    cmp byte [cs:is_fat32], 0
    je .compare
    mov al, [es:BOOT_SECTOR + BPB_SECTORS_PER_TRACK]
.compare:
    cmp al, [es:di + bx]
    jne .restore
.next:
    inc bx
    cmp bx, TABLE_SIZE
    jb .byte
    xor al, al                  ; ZF set: all equal
.restore:
    pop ds
.checked:
    jmp verdict

; check_geometry: the BPB in memory holds the BIOS's heads and sectors per
; track; when the BIOS reports none (or 0 sectors per track), the BPB's own
; numbers, which must not be 0.
check_geometry:
    call say
    db "geometry in the BPB ", 0
    mov ax, [es:BOOT_SECTOR + BPB_HEADS]
    call hex16
    mov al, 'x'
    call putc
    mov ax, [es:BOOT_SECTOR + BPB_SECTORS_PER_TRACK]
    call hex16
    call say
    db ", BIOS ", 0
    mov ax, [bios_heads]
    call hex16
    mov al, 'x'
    call putc
    mov ax, [bios_sectors]
    call hex16
    cmp word [bios_sectors], 0
    je .bios_has_none
    mov ax, [bios_heads]
    cmp ax, [es:BOOT_SECTOR + BPB_HEADS]
    jne .checked
    mov ax, [bios_sectors]
    cmp ax, [es:BOOT_SECTOR + BPB_SECTORS_PER_TRACK]
.checked:
    jmp verdict
.bios_has_none:
    cmp word [es:BOOT_SECTOR + BPB_SECTORS_PER_TRACK], 0
    je .zero
    cmp word [es:BOOT_SECTOR + BPB_HEADS], 0
    jne .nonzero
.zero:
    or al, 1                    ; ZF clear: fail
    jmp verdict
.nonzero:
    cmp al, al                  ; ZF set: pass
    jmp verdict

; probe_bios: what the BIOS offers for the boot drive: packet access
; (has_extensions) and its geometry (bios_heads, bios_sectors; 0 when it
; reports none).
probe_bios:
    mov ah, 0x41
    mov bx, 0x55AA
    mov dl, [entry_dl]
    int 0x13
    jc .geometry
    cmp bx, 0xAA55
    jne .geometry
    and cl, 1
    mov [has_extensions], cl
.geometry:
    mov ah, 0x08
    mov dl, [entry_dl]
    xor di, di
    push es
    int 0x13
    pop es
    jc .done
    and cx, 0x3F
    mov [bios_sectors], cx
    movzx ax, dh
    inc ax
    mov [bios_heads], ax
.done:
    ret

header_code_end:
    times HEADER_BYTES - ($ - file_start) db 0

module:
; ---------------------------------------------------------------------------
; Boot entry, 0070:0200.
boot_entry:
    db "BJ"                     ; inc dx, dec dx
    mov [cs:entry_dl], dl
    mov [cs:entry_bp], bp
    mov [cs:entry_ss], ss
    mov [cs:entry_sp], sp
    mov [cs:entry_si], si
    mov [cs:entry_di], di
    cli
    mov ax, cs
    mov ss, ax
    mov sp, OWN_STACK_TOP
    sti
    mov ds, ax
    xor ax, ax
    mov es, ax                  ; ES = 0: boot sector, vectors, tables
    cld

    call say
    db 13, 10, "VORN stand-in IO.SYS: reached at 0070:0200", 13, 10, 0

    ; --- SS:BP at the boot sector
    call say
    db "SS:BP ", 0
    mov ax, [entry_ss]
    call hex16
    mov al, ':'
    call putc
    mov ax, [entry_bp]
    call hex16
    cmp word [entry_ss], 0
    jne .bp_checked
    cmp word [entry_bp], BOOT_SECTOR
.bp_checked:
    call verdict

    ; --- the boot sector itself
    mov byte [is_fat32], 0
    cmp word [es:BOOT_SECTOR + BPB_SECTORS_PER_FAT16], 0
    jne .fat16
    mov byte [is_fat32], 1
.fat16:
    call say
    db "boot sector: ", 0
    mov si, text_fat16
    cmp byte [is_fat32], 0
    je .type_named
    mov si, text_fat32
.type_named:
    call puts
    call say
    db ", label ", 0
    mov si, BOOT_SECTOR + FAT16_LABEL
    cmp byte [is_fat32], 0
    je .label_known
    mov si, BOOT_SECTOR + FAT32_LABEL
.label_known:
    mov cx, LABEL_SIZE
.label_char:
    mov al, [es:si]
    call putc
    inc si
    loop .label_char
    call say
    db ", signature ", 0
    mov ax, [es:BOOT_SECTOR + BOOT_SIGNATURE]
    call hex16
    cmp word [es:BOOT_SECTOR + BOOT_SIGNATURE], 0xAA55
    call verdict

    ; --- the boot drive
    mov bx, BOOT_SECTOR + FAT16_DRIVE
    cmp byte [is_fat32], 0
    je .drive_field
    mov bx, BOOT_SECTOR + FAT32_DRIVE
.drive_field:
    call say
    db "boot drive DL ", 0
    mov al, [entry_dl]
    call hex8
    call say
    db ", BPB drive number ", 0
    mov al, [es:bx]
    call hex8
    mov al, [entry_dl]
    cmp al, [es:bx]
    call verdict

    ; --- the first data sector at SS:BP-4
    call probe_bios
    call compute_layout
    call say
    db "first data sector at SS:BP-4 ", 0
    mov eax, [es:DATA_START_DWORD]
    call hex32
    call say
    db ", from the BPB ", 0
    mov eax, [data_start]
    call hex32
    mov eax, [es:DATA_START_DWORD]
    cmp eax, [data_start]
    call verdict

    ; --- the root directory and the access byte
    call check_start_cluster
    call check_access_byte

    call check_loaded_sectors
    call check_diskette_table
    call check_geometry

    ; --- the verdict
    call say
    db "IO.SYS hand-over: ", 0
    cmp word [failures], 0
    jne .failed
    call say
    db "PASS", 13, 10, 0
    xor al, al
    jmp .exit
.failed:
    call say
    db "FAIL (", 0
    mov ax, [failures]
    call hex16
    call say
    db " checks)", 13, 10, 0
    mov al, 1
.exit:
    out DEBUG_EXIT_PORT, al     ; ends QEMU when isa-debug-exit is there
.halt:
    cli
    hlt
    jmp .halt

; ---------------------------------------------------------------------------
; compute_layout: data_start and root_start (FAT16: the root directory's
; first sector; FAT32: the root cluster's) from the BPB.
compute_layout:
    movzx ebx, word [es:BOOT_SECTOR + BPB_RESERVED_SECTORS]
    add ebx, [es:BOOT_SECTOR + BPB_HIDDEN_SECTORS]
    movzx eax, byte [es:BOOT_SECTOR + BPB_FAT_COUNT]
    cmp byte [is_fat32], 0
    jne .fat32
    movzx ecx, word [es:BOOT_SECTOR + BPB_SECTORS_PER_FAT16]
    mul ecx
    add eax, ebx
    mov [root_start], eax
    movzx eax, word [es:BOOT_SECTOR + BPB_ROOT_ENTRIES]
    shl eax, 5
    movzx ecx, word [es:BOOT_SECTOR + BPB_BYTES_PER_SECTOR]
    add eax, ecx
    dec eax
    xor edx, edx
    div ecx
    mov [root_sectors], ax
    add eax, [root_start]
    mov [data_start], eax
    ret
.fat32:
    mul dword [es:BOOT_SECTOR + FAT32_SECTORS_PER_FAT]
    add eax, ebx
    mov [data_start], eax
    ; The FAT the root's chain is read from: FAT 0, or the one active FAT
    ; that the extended flags name.
    mov al, [es:BOOT_SECTOR + FAT32_EXT_FLAGS]
    test al, EXT_FLAGS_ONE_FAT
    jnz .one_fat
    xor al, al
.one_fat:
    and eax, EXT_FLAGS_ACTIVE_FAT
    mul dword [es:BOOT_SECTOR + FAT32_SECTORS_PER_FAT]
    add eax, ebx
    mov [fat_start], eax
    mov edx, [es:BOOT_SECTOR + FAT32_ROOT_CLUSTER]
    call cluster_sector
    mov [root_start], eax
    movzx ax, byte [es:BOOT_SECTOR + BPB_SECTORS_PER_CLUSTER]
    mov [root_sectors], ax      ; searched one cluster at a time
    ret

; cluster_sector: EDX = a cluster -> EAX = its first sector. Changes ECX.
cluster_sector:
    lea eax, [edx - 2]
    movzx ecx, byte [es:BOOT_SECTOR + BPB_SECTORS_PER_CLUSTER]
    push edx
    mul ecx
    pop edx
    add eax, [data_start]
    ret

; next_cluster: EDX = a FAT32 cluster -> EDX = the next one of its chain;
; carry set when the FAT sector cannot be read.
next_cluster:
    pushad
    mov eax, edx
    shr eax, FAT32_ENTRIES_SHIFT
    add eax, [fat_start]
    call read_sector
    jc .done
    and dx, (1 << FAT32_ENTRIES_SHIFT) - 1
    shl dx, FAT32_ENTRY_SHIFT
    mov bx, dx
    mov eax, [es:SECTOR_BUFFER + bx]
    and eax, FAT32_ENTRY_MASK
    mov [chain_next], eax
.done:
    popad
    mov edx, [chain_next]
    ret

; check_start_cluster: finds IO.SYS in the root directory and compares its
; first cluster with DI (FAT16) or SI:DI (FAT32).
check_start_cluster:
    call say
    db "start cluster ", 0
    cmp byte [is_fat32], 0
    je .fat16_register
    call say
    db "SI:DI ", 0
    mov ax, [entry_si]
    call hex16
    mov al, ':'
    call putc
    jmp .register_low
.fat16_register:
    call say
    db "DI ", 0
.register_low:
    mov ax, [entry_di]
    call hex16

    mov eax, [root_start]
    mov edx, [es:BOOT_SECTOR + FAT32_ROOT_CLUSTER]
.run:
    mov cx, [root_sectors]      ; FAT16: the whole root; FAT32: one cluster
.sector:
    call read_sector
    jc .read_failed
    mov di, SECTOR_BUFFER
.entry:
    push di
    push cx
    mov si, io_sys_name
    mov cx, LABEL_SIZE
    repe cmpsb
    pop cx
    pop di
    je .found
    add di, DIR_ENTRY_SIZE
    cmp di, SECTOR_BUFFER + SECTOR_SIZE
    jb .entry
    inc eax
    loop .sector
    cmp byte [is_fat32], 0
    je .missing
    ; FAT32: on along the root directory's cluster chain
    call next_cluster
    jc .read_failed
    cmp edx, 2
    jb .missing
    cmp edx, FAT32_LAST_CLUSTER
    ja .missing
    dec word [chain_budget]     ; a chain in a circle ends after 65536
    jz .missing
    call cluster_sector
    jmp .run
.missing:
    call say
    db ", no IO.SYS in the root directory", 0
    jmp .fail
.found:
    call say
    db ", root directory entry ", 0
    mov ax, [es:di + DIR_CLUSTER_HIGH]
    cmp byte [is_fat32], 0
    jne .high_known
    xor ax, ax                  ; FAT16 has no high word
.high_known:
    shl eax, 16
    mov ax, [es:di + DIR_CLUSTER_LOW]
    call hex32
    mov [found_cluster], eax
    mov ax, [entry_di]
    cmp ax, [found_cluster]
    jne .compared
    cmp byte [is_fat32], 0
    je .compared
    mov ax, [entry_si]
    cmp ax, [found_cluster + 2]
.compared:
    jmp verdict
.read_failed:
    call say
    db ", the root directory cannot be read", 0
.fail:
    or al, 1
    jmp verdict

; check_access_byte: the byte at SS:BP+2 is 0x0E (LBA reads) exactly when
; the BIOS offers packet access (INT 13h AH=41h).
check_access_byte:
    call say
    db "access byte at SS:BP+2 ", 0
    mov al, [es:BOOT_SECTOR + BOOT_ACCESS]
    call hex8
    mov si, text_chs
    cmp al, ACCESS_LBA
    jne .named
    mov si, text_lba
.named:
    call puts
    call say
    db ", BIOS packet access ", 0
    mov al, [has_extensions]
    call hex8
    cmp byte [es:BOOT_SECTOR + BOOT_ACCESS], ACCESS_LBA
    sete al
    cmp al, [has_extensions]
    jmp verdict

; ---------------------------------------------------------------------------
; read_sector: LBA EAX to 0000:2000, through the INT 13h extensions when
; the BIOS has them, else by CHS with the BIOS's geometry; carry set on
; failure (also for an address CHS cannot name). Keeps every register.
read_sector:
    pushad
    cmp byte [has_extensions], 0
    je .chs
    mov [packet_lba], eax
    mov si, disk_packet
    mov ah, 0x42
    jmp .call
.chs:
    movzx ecx, word [bios_sectors]
    stc
    jecxz .done
    xor edx, edx
    div ecx
    inc dx
    mov cx, dx                  ; sector
    movzx esi, word [bios_heads]
    xor edx, edx
    div esi                     ; EAX = cylinder, DX = head
    cmp eax, CHS_CYLINDERS
    cmc
    jc .done
    mov dh, dl
    mov ch, al
    shl ah, 6
    or cl, ah
    mov bx, SECTOR_BUFFER
    mov ax, 0x0201
.call:
    mov dl, [entry_dl]
    int 0x13
.done:
    popad
    ret

; verdict: ends the line with "ok" when ZF is set, else with "FAIL" and
; counts the failure.
verdict:
    jz .ok
    inc word [failures]
    call say
    db ": FAIL", 13, 10, 0
    ret
.ok:
    call say
    db ": ok", 13, 10, 0
    ret

; say: prints the zero-terminated text that follows the call.
say:
    pop si
    call puts
    push si
    ret

; puts: prints the zero-terminated text at DS:SI; SI ends behind it.
puts:
    lodsb
    test al, al
    jz .end
    call putc
    jmp puts
.end:
    ret

; putc: AL to the screen and the debug console.
putc:
    pusha
    out DEBUG_CONSOLE_PORT, al
    mov ah, 0x0E
    xor bx, bx
    int 0x10
    popa
    ret

; far_pointer: EAX as segment:offset.
far_pointer:
    push eax
    shr eax, 16
    call hex16
    mov al, ':'
    call putc
    pop eax
    jmp hex16

hex32:
    push eax
    shr eax, 16
    call hex16
    pop eax
hex16:
    push ax
    mov al, ah
    call hex8
    pop ax
hex8:
    push ax
    shr al, 4
    call hex4
    pop ax
hex4:
    push ax
    and al, 0x0F
    add al, '0'
    cmp al, '9'
    jbe .digit
    add al, 'A' - '9' - 1
.digit:
    call putc
    pop ax
    ret

; ---------------------------------------------------------------------------
; Run as a DOS program: CS is the load module, offsets count from it.
dos_entry:
    push cs
    pop ds
    mov dx, dos_message - module
    mov ah, 0x09
    int 0x21
    mov ax, 0x4C01
    int 0x21

dos_message:
    db "IO.SYS: a stand-in made by MakeVORNDisk; a boot sector starts it.", 13, 10, "$"

text_fat16:  db "FAT16", 0
text_fat32:  db "FAT32", 0
text_chs:    db " (CHS reads)", 0
text_lba:    db " (LBA reads)", 0
io_sys_name: db "IO      SYS"

align 4
disk_packet:
    db 16, 0
    dw 1                        ; one sector
    dw SECTOR_BUFFER, 0         ; to 0000:2000
packet_lba:
    dd 0, 0

; Counters and answers that start at 0.
chain_budget:   dw 0            ; 65536 clusters at most
failures:       dw 0
bios_heads:     dw 0
bios_sectors:   dw 0
has_extensions: db 0

    times END_MARK_OFFSET - ($ - file_start) db 0
END_MARK equ "END4"
    dd END_MARK

; Variables that are written before they are read: in memory behind the
; loaded file, below our stack.
absolute FILE_SIZE
data_start:     resd 1
root_start:     resd 1
fat_start:      resd 1
chain_next:     resd 1
found_cluster:  resd 1
stack_dword:    resd 1
original_table: resd 1
root_sectors:   resw 1
entry_ss:       resw 1
entry_sp:       resw 1
entry_bp:       resw 1
entry_si:       resw 1
entry_di:       resw 1
entry_dl:       resb 1
is_fat32:       resb 1
