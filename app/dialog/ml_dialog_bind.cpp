#include "app/dialog/ml_dialog_bind.h"

#include "app/dialog/ml_dialog.h"

namespace {

void init(MLDialog& d, qxbind::ObjectRef initParam, qxbind::QXInt parent, const std::u16string& templateName) {
  d.init(initParam.handle, parent.value, templateName);
}

const qxbind::ClassNotes kMLDialogNotes = {
    "A hidden dialog of one of the program's own templates, through which a script shows message boxes. (Dialog "
    "templates in resource files are read with `QX.DialogRes`.)",
    {
        {"init", "initParam, parent, templateName", nullptr,
         "Called by `new`: makes the dialog of the template \"IDD_PSEUDOMB\" or \"IDD_ASKVALID\", hidden; "
         "initParam is handed to it, parent is a window id (0: none). Another name makes none."},
        {"close", "", nullptr, "Closes the dialog."},
        {"msgbox", "text, caption, type, modal", nullptr,
         "Shows a message box over the dialog (type: the Windows MB_ flags); modal waits until it is dismissed. "
         "Gives 0 either way. The box shows what fits the screen (README); a text cut so goes whole to log.txt."},
    }};

void registerMLDialog(qxbind::ClassTable& t) {
  t.notes(kMLDialogNotes);
  t.method<&init>("init").method<&MLDialog::close>("close").method<&MLDialog::msgbox>("msgbox");
}

}  // namespace

qxbind::ClassBinding mlDialogBinding() {
  return qxbind::objectBinding(qxbind::objectClass<MLDialog>("MLDialog", &registerMLDialog));
}
