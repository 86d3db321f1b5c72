// Where the program keeps files that outlive it.
//
// The results of every pupil on a machine go into one folder that all its users share: the
// install step creates /var/lib/ZEDK and lets everyone write there. A machine without it (a
// developer's checkout, a pupil's own laptop) keeps the results in the user's data folder
// instead, as the XDG base directory rules name it.
#pragma once

#include <string>

#include "platform/result.h"

namespace platform {

class Folders {
   public:
    // "/var/lib" when /var/lib/ZEDK is a folder this user may write into, else $XDG_DATA_HOME
    // when it is set to an absolute path, else $HOME/.local/share (the home folder from the
    // password database when HOME is unset). Empty when no folder is known. No trailing slash;
    // nothing is created.
    static std::wstring SharedData();

    // The same rule with the machine-wide folder elsewhere than /var/lib, so that both of its
    // outcomes can be tried without touching the real one.
    static std::wstring SharedData(const std::string& machineFolder);

    // Creates `path` and any missing folders above it. New ones get `mode` less the umask; the
    // default 0700 is what the XDG rules ask for the user's own data. Fails unless it is a
    // folder afterwards.
    static Result<void> Create(const std::wstring& path, unsigned mode = 0700);
};

}  // namespace platform
