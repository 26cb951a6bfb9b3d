#include "app/dialog/ml_dialog_bind.h"

#include "app/dialog/ml_dialog.h"

namespace {

void init(MLDialog& d, qxbind::ObjectRef initParam, qxbind::QXInt parent, const std::u16string& templateName) {
  d.init(initParam.handle, parent.value, templateName);
}

const qxbind::ClassNotes kMLDialogNotes = {
    "A dialog window made from a dialog template.",
    {
        {"init", "initParam, parent, templateName"},
        {"close", ""},
        {"msgbox", "text, caption, type, modal", nullptr, "Shows a message box over the dialog."},
    }};

void registerMLDialog(qxbind::ClassTable& t) {
  t.notes(kMLDialogNotes);
  t.method<&init>("init").method<&MLDialog::close>("close").method<&MLDialog::msgbox>("msgbox");
}

}  // namespace

qxbind::ClassBinding mlDialogBinding() {
  return qxbind::objectBinding(qxbind::objectClass<MLDialog>("MLDialog", &registerMLDialog));
}
