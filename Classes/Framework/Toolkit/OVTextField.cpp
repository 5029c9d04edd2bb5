#include "Classes/Framework/Toolkit/OVTextField.h"

#include "Platform/Foundation/NotificationCenter.h"

const QString OVTextField::resignFirstResponderNotification = QStringLiteral("OVResignFirstResponder");

bool OVTextField::resignFirstResponder()
{
    const bool resigned = TextField::resignFirstResponder();
    if (resigned)
        pf::NotificationCenter::defaultCenter().post(resignFirstResponderNotification, this);
    return resigned;
}
