// COptionPageInterface: one page of the preferences dialog as the dialog drives it. The dialog owns its
// pages (through this interface) and calls them on the GUI thread only: Create once when it opens, Show as
// the user moves between pages, Validate of every page (Refuse of the first that fails) and then Apply of
// every page on OK, Destroy on OK and Cancel. A page reads the configuration when it is created and writes it
// only in Apply.
#pragma once

class QWidget;

namespace Vuxo {

class COptionPageInterface {
public:
    virtual ~COptionPageInterface() = default;

    // Makes the page's window inside `frame` (the dialog's page frame) and fills its controls.
    virtual void Create(QWidget* frame) = 0;
    // Deletes the page's window; its edits are dropped unless Apply ran.
    virtual void Destroy() = 0;
    virtual void Show(bool show) = 0;
    // Checks what the user entered before any page applies; false when a value cannot be applied. It
    // tells the user nothing: the dialog shows the page first, then calls Refuse.
    virtual bool Validate() = 0;
    // With the page showing after Validate failed: puts the focus on the field to mend and tells the
    // user why.
    virtual void Refuse() = 0;
    // Writes the controls into the configuration and the managers the page edits.
    virtual void Apply() = 0;
    // The page's window (null before Create and after Destroy).
    virtual QWidget* GetWindow() const = 0;
};

} // namespace Vuxo
