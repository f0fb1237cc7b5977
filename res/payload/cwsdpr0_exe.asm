; CWSDPR0.EXE stand-in.
%define PROGRAM_NAME "CWSDPR0.EXE"
%include "standin.inc"
