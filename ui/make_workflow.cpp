// The Make button. The make itself joins with the build, read-back and
// payload work.
#include "ui/make_disk_dlg.h"

void CMakeDiskDlg::OnMake() {}
