; VORN.exe stand-in.
%define PROGRAM_NAME "VORN.exe"
%include "standin.inc"
