#pragma once

// Ours
#include "VolumeList.h"

// The volumes the system has mounted. On Windows each drive letter ("c: [label]"); on
// Linux each mounted file system that can hold the operator's files, the root volume
// always first, kernel and runtime pseudo file systems left out.
class SystemVolumeList : public VolumeList {
public:
    std::vector<Volume> volumes() const override;
};
