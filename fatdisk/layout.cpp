#include "fatdisk/fat_disk_builder.h"

CFatDiskBuilder::CFatDiskBuilder(char driveLetter) : m_driveLetter(driveLetter) {}
