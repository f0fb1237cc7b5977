#include "boot/boot_templates.h"
#include "fatdisk/fat_disk_builder.h"
