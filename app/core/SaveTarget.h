#pragma once

// Qt
#include <QString>

// Where a save really writes. Symbolic links are followed, so that a link keeps pointing
// at the updated file instead of being replaced by it, but only where the kernel's
// protected-symlinks rule would follow them: a link planted by another user in a shared
// sticky folder (such as /tmp) is refused.
namespace SaveTarget {

struct Resolution {
    int code = 0; // a KeshFileAccess error code; 0 when `path` may be written
    QString path; // the file to replace, with no symbolic link left in it
};

// Refuses with PermissionDenied a link the rule forbids, and with WriteFailed a link loop
// or an existing target that is not a regular file (a folder, a pipe, a device).
// A path whose folders do not exist or cannot be searched resolves as far as it can;
// writing it then fails and reports why.
Resolution resolve(const QString& path);

} // namespace SaveTarget
