// Translates a dialog's own texts through the localization table when it starts: the preferences dialog
// and its pages, and the shell's small dialogs, are built with the built-in Korean texts and call this
// once. A free function without state; GUI thread only (the table has its own lock).
#pragma once

class QWidget;

namespace Vuxo {

class LocalizationStringTable;

// Every label, button (push button, check box, radio button) and group-box title below `dialog`, and the
// tab titles of its tab widgets, is looked up once (each widget is visited once, however deep it sits): a
// text the table holds as a key is replaced by its translation, any other text stays. What the user or
// the program put into edit fields, spin boxes, combo boxes and item lists is never touched, nor is the
// dialog's own caption. Without a table, the program's one is used.
void TranslateDialog(QWidget& dialog);
void TranslateDialog(QWidget& dialog, LocalizationStringTable& table);

} // namespace Vuxo
