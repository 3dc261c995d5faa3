#include "setting/program_options.h"

#include "profile/profile.h"

bool ReadKeepSeen()
{
    return ReadProfileText("GLOBAL", "KeepSeen") == "1";
}

void WriteKeepSeen(bool keep)
{
    WriteProfileText("GLOBAL", "KeepSeen", keep ? "1" : "0");
}
