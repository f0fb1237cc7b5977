#include "host/host_errors.h"

#include <cerrno>

#include "winmodel/model_errors.h"
#include "platform/win_types.h"

namespace platform::host {

std::uint32_t ErrorFromErrno(int error) {
    switch (error) {
    case 0: return 0;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EBUSY: return kErrorBusy;
    case ENODEV:
    case ENXIO:
    case ENOMEDIUM: return kErrorDeviceNotConnected;
    case EINVAL:
    case EFAULT: return ERROR_INVALID_PARAMETER;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC: return kErrorDiskFull;
    case ETIMEDOUT: return ERROR_SEM_TIMEOUT;
    case ENOTTY:
    case EOPNOTSUPP: return ERROR_NOT_SUPPORTED;
    default: return ERROR_IO_DEVICE;
    }
}

}  // namespace platform::host
