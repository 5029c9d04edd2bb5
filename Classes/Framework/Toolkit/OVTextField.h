#pragma once

#include "Platform/UI/TextField.h"

// A text field that announces when it gives up the keyboard: each time it agrees to resign first
// responder it posts "OVResignFirstResponder" (pf::NotificationCenter::defaultCenter(), the field as
// sender). A refusal (text its formatter does not accept) posts nothing.
class OVTextField : public pf::TextField
{
    Q_OBJECT

public:
    static const QString resignFirstResponderNotification;

    using TextField::TextField;

    bool resignFirstResponder() override;
};
