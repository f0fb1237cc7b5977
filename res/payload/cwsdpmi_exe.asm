; CWSDPMI.EXE stand-in.
%define PROGRAM_NAME "CWSDPMI.EXE"
%include "standin.inc"
