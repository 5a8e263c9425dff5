// Prints the program's policy table, one row a line: value name, type, minimum, maximum. The
// administrative templates' check compares the ADMX with it.
#include <cstdio>

#include "data/policy.h"

int wmain() {
    for (const PolicyDefinition& row : kPolicyTable)
        std::printf("%ls %s %lu %lu\n", row.valueName, row.type == PolicyType::Dword ? "REG_DWORD" : "REG_SZ-list",
                    row.minimum, row.maximum);
    return 0;
}
