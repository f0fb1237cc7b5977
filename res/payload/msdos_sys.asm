; MSDOS.SYS: a text of 16 comment lines, each beginning with ";" and ending
; with CR LF: an empty comment, two lines of note, and 13 lines of filler
; that keep the file larger than 1024 bytes. It holds no settings.

FILE_SIZE     equ 1026          ; more than 1024 bytes
FILLER_LINES  equ 13
LINE_OVERHEAD equ 3             ; ";" and CR LF

file_start:
    db ";", 13, 10
    db ";Keep this file larger than 1024 bytes: some programs check its size.", 13, 10
    db ";The lines below are only padding for that; do not remove them.", 13, 10
note_end:

FILLER_BYTES equ FILE_SIZE - (note_end - file_start)
FILLER_WIDTH equ FILLER_BYTES / FILLER_LINES - LINE_OVERHEAD
FILLER_WIDER equ FILLER_BYTES % FILLER_LINES   ; lines with one more character

%assign line 0
%rep FILLER_LINES
    db ";"
    times FILLER_WIDTH + (line < FILLER_WIDER) db "x"
    db 13, 10
%assign line line + 1
%endrep

    times FILE_SIZE - ($ - file_start) db 0     ; fails if the text ran long
