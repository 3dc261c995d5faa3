#pragma once
// Starting the notifier again once the settings are done.

// Starts Zantoli.exe from this program's own folder. Its absence is not a failure (the
// settings program may be run on its own); false only when it is there and will not start.
bool StartNotifier();
