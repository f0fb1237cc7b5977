; COMMAND.COM stand-in.
%define PROGRAM_NAME "COMMAND.COM"
%include "standin.inc"
