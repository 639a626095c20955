#pragma once
// Dialogs answered by a script instead of a person: install one with
// talq::DialogFactory<Dialog>::Scoped and ScriptedMaker. The script runs
// after the dialog has loaded, where a person would start clicking.

#include <functional>
#include <memory>
#include <utility>

#include "foundation/widgets/dialog_factory.h"

namespace testsupport {

template <class Dialog>
class ScriptedDialog : public Dialog {
  public:
    using Script = std::function<void(Dialog&)>;
    ScriptedDialog(QWidget* parent, Script script) : Dialog(parent), script_(std::move(script)) {}
    int exec() override {
        this->Load();
        script_(*this);
        return this->result();
    }

  private:
    Script script_;
};

// Each dialog created gets the script; runs counts the dialogs run.
template <class Dialog>
typename talq::DialogFactory<Dialog>::Maker ScriptedMaker(std::function<void(Dialog&)> script,
                                                          int* runs = nullptr) {
    return [script = std::move(script), runs](QWidget* parent) -> std::unique_ptr<Dialog> {
        return std::make_unique<ScriptedDialog<Dialog>>(parent, [script, runs](Dialog& d) {
            if (runs != nullptr) ++*runs;
            script(d);
        });
    };
}

}  // namespace testsupport
