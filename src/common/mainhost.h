#pragma once

#include "common/messagehost.h"

#include <string>

namespace tabulon {

// The main window as the core's routines see it: its six entry fields
// (Text1 folder, Text2 server, Text3 port, Text4 user, Text5 password,
// Text6 database), read at the moment a routine needs them.
class MainHost : public MessageHost {
public:
    virtual std::string fieldText(int n) const = 0;
    // Goes through the field's change handling, as typing does.
    virtual void setFieldText(int n, const std::string &text) = 0;
};

} // namespace tabulon
