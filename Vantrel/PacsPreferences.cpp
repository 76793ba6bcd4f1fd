#include "PacsPreferences.h"

#include "PreferenceKeys.h"
#include "UserDefaults.h"

namespace PacsPreferences {

PacsAddress address()
{
    const UserDefaults &defaults = UserDefaults::standardUserDefaults();
    PacsAddress address;
    address.calledAETitle = defaults.stringForKey(PreferenceKeys::PACSCalledAETitle);
    address.host = defaults.stringForKey(PreferenceKeys::PACSHost);
    const qint64 port = defaults.integerForKey(PreferenceKeys::PACSPort);
    // Out of range: no port, which the address reports as its fault.
    address.port = port > 0 && port <= 0xffff ? quint16(port) : 0;
    address.callingAETitle = defaults.stringForKey(PreferenceKeys::PACSCallingAETitle);
    return address;
}

void setAddress(const PacsAddress &address)
{
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setString(address.calledAETitle, PreferenceKeys::PACSCalledAETitle);
    defaults.setString(address.host, PreferenceKeys::PACSHost);
    defaults.setInteger(address.port, PreferenceKeys::PACSPort);
    defaults.setString(address.callingAETitle, PreferenceKeys::PACSCallingAETitle);
}

quint16 retrievePort()
{
    const qint64 port = UserDefaults::standardUserDefaults().integerForKey(PreferenceKeys::PACSRetrievePort);
    return port > 0 && port <= 0xffff ? quint16(port) : 0;
}

void setRetrievePort(quint16 port)
{
    UserDefaults::standardUserDefaults().setInteger(port, PreferenceKeys::PACSRetrievePort);
}

} // namespace PacsPreferences
