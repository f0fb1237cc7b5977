; An option ROM that turns the BIOS into one without the INT 13h extensions,
; for the boot tests: the boot code must then read by CHS with the BIOS's
; geometry. QEMU puts it into the ROM area (SeaBIOS: -option-rom; the Bochs
; BIOS: a loader device at a 2 KiB boundary above the VGA BIOS). The BIOS
; calls its entry at offset 3 during POST; it hooks INT 13h and answers
; every extension function (AH = 41h-49h, 4Eh) as a BIOS from before the
; extensions does: carry set, AH = 01h (invalid function). Every other
; function goes on to the BIOS's own handler.
;
; The BIOS rejects a ROM whose bytes do not add up to 0 (modulo 256): the
; build assembles it twice, the second time with ROM_CHECKSUM the byte
; that makes the sum 0 (option_rom.cmake).

bits 16
cpu 386
org 0

ROM_SIZE              equ 512
ROM_BLOCK             equ 512      ; the size byte counts 512-byte blocks
INT13_VECTOR          equ 0x13 * 4
FIRST_EXTENSION       equ 0x41     ; installation check
LAST_EXTENSION        equ 0x49     ; extended media change
EXTENSION_PARAMETERS  equ 0x4E     ; set hardware configuration
INVALID_FUNCTION      equ 0x01

rom:
    db 0x55, 0xAA                ; option ROM signature
    db ROM_SIZE / ROM_BLOCK
    jmp short init               ; offset 3: far-called by the BIOS

init:
    push ds
    push eax
    xor ax, ax
    mov ds, ax
    mov eax, [INT13_VECTOR]
    mov [cs:bios_int13], eax     ; the ROM area is writable during POST
    mov word [INT13_VECTOR], int13
    mov [INT13_VECTOR + 2], cs
    pop eax
    pop ds
    retf

int13:
    cmp ah, FIRST_EXTENSION
    jb .bios
    cmp ah, LAST_EXTENSION
    jbe .no_extensions
    cmp ah, EXTENSION_PARAMETERS
    jne .bios
.no_extensions:
    mov ah, INVALID_FUNCTION
    stc
    retf 2                       ; the caller's flags stay behind, carry set
.bios:
    jmp far [cs:bios_int13]

bios_int13: dd 0

    times ROM_SIZE - 1 - ($ - rom) db 0
%ifdef ROM_CHECKSUM
    db ROM_CHECKSUM
%else
    db 0
%endif
