// Fuzzes the installation-text parser.
#include "fuzz_common.h"
#include "installationlists.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::initialise();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(bytes), int(size));
    InstallationLists lists;
    parseInstallationText(text, lists);
    return 0;
}
