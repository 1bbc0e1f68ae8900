// The Windows build's presenters in their default order. The headless presenter stays last so
// that the portable services can be exercised where no window can be made.
#include "runtime/screen_state.h"

const Presenter* const* presenterTable() {
  static const Presenter* const table[] = {
      &kHeadlessPresenter,
      nullptr,
  };
  return table;
}
