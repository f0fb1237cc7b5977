; FAT32 boot area template (3 sectors): boot sector, FSInfo sector and the
; second part of the boot code. The image builder overwrites the BPB of
; sector 0 and the FSInfo counts.
bits 16
org 0x7C00
    jmp short boot_code
    nop
    db "MSWIN4.1"
    times 90 - ($ - $$) db 0
boot_code:
    times 472 - ($ - $$) db 0
io_sys_name:    db "IO      SYS"
msdos_sys_name: db "MSDOS   SYS"
    times 497 - ($ - $$) db 0
winboot_name:   db "WINBOOT SYS"
    times 510 - ($ - $$) db 0
    dw 0xAA55

; Sector 1: FSInfo
fsinfo:
    db "RRaA"
    times 484 - ($ - fsinfo) db 0
    db "rrAa"
    dd 0            ; free cluster count (replaced)
    dd 0            ; next free cluster (replaced)
    times 508 - ($ - fsinfo) db 0
    db 0, 0, 0x55, 0xAA

; Sector 2: second part of the boot code in bytes 0-389
sector2:
    times 390 - ($ - sector2) db 0
    times 510 - ($ - sector2) db 0
    dw 0xAA55
