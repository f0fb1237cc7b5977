; CWSPARAM.EXE stand-in.
%define PROGRAM_NAME "CWSPARAM.EXE"
%include "standin.inc"
