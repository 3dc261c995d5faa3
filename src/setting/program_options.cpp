#include "setting/program_options.h"

#include "settings/profile.h"

bool ReadKeepSeen()
{
    return ReadProfileText("GLOBAL", "KeepSeen") == "1";
}

void WriteKeepSeen(bool keep)
{
    WriteProfileText("GLOBAL", "KeepSeen", keep ? "1" : "0");
}
