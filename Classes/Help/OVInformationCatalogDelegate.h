#pragma once

class OVInformationCatalog;

// What the tips catalog tells its owner; both operations are optional.
class OVInformationCatalogDelegate
{
public:
    virtual ~OVInformationCatalogDelegate() = default;

    // The user pressed the button that ends the tour. True: the delegate took it, the window stays;
    // false (the default): the catalog closes its window.
    virtual bool infoCatalogGetStarted(OVInformationCatalog*) { return false; }
    virtual void infoCatalogDidClose(OVInformationCatalog*) {}
};
