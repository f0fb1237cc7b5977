; FAT16 boot sector template (512 bytes). Bytes 0-61 (jump, OEM name, BPB)
; are overwritten by the image builder; the boot code comes in 62-509.
bits 16
org 0x7C00
    jmp short boot_code
    nop
    db "MSWIN4.1"
    times 62 - ($ - $$) db 0
boot_code:
    times 472 - ($ - $$) db 0
io_sys_name:    db "IO      SYS"
msdos_sys_name: db "MSDOS   SYS"
    times 510 - ($ - $$) db 0
    dw 0xAA55
