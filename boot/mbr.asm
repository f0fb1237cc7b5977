; Master boot record template (512 bytes). The master boot code comes in
; bytes 0-393; 394-445 stay zero (disk signature 0); the partition table at
; 446-509 is filled by the image builder.
bits 16
org 0x7C00
code_region_end equ 394
    times code_region_end - ($ - $$) db 0
    times 510 - ($ - $$) db 0
    dw 0xAA55
