#pragma once
// Programs that only wait, so that the whole check meets more than Wine's own few processes:
// copies of the benchmark under names of their own, each one snapshot entry.
#include <string>
#include <vector>

#include "comlib/unique_resource.h"

// The copy's side: waits until the process `parentId` ends. Returns the exit code.
int WaitForParent(unsigned long parentId);

class IdlePrograms_CL {
public:
    // Starts `count` more copies from a folder in %TEMP% and waits, up to 60 s, until the system
    // lists them. Returns how many started.
    int Start(int count);
    int Running() const { return static_cast<int>(processes_.size()); }
    // Ends the copies and deletes them.
    ~IdlePrograms_CL();

private:
    std::wstring folder_;
    std::vector<std::wstring> files_;
    std::vector<UniqueHandle> processes_;
};
