#pragma once
// Every caller creates its dialogs through DialogFactory<Dialog>::Create, so
// a test can put a scripted dialog in place of the one a person would answer.

#include <QWidget>
#include <functional>
#include <memory>
#include <utility>

namespace talq {

template <class Dialog>
class DialogFactory {
  public:
    using Maker = std::function<std::unique_ptr<Dialog>(QWidget* parent)>;

    static std::unique_ptr<Dialog> Create(QWidget* parent) {
        if (Slot()) return Slot()(parent);
        return std::make_unique<Dialog>(parent);
    }

    // Replaces the maker for its lifetime.
    class Scoped {
      public:
        explicit Scoped(Maker maker) : previous_(std::exchange(Slot(), std::move(maker))) {}
        ~Scoped() { Slot() = std::move(previous_); }
        Scoped(const Scoped&) = delete;
        Scoped& operator=(const Scoped&) = delete;

      private:
        Maker previous_;
    };

  private:
    static Maker& Slot() {
        static Maker maker;
        return maker;
    }
};

}  // namespace talq
