// The Windows build's presenters in their default order: a GDI window first; the headless
// presenter stays last so that the portable services can be exercised where no window can be made.
#include "runtime/screen_state.h"

const Presenter* const* presenterTable() {
  static const Presenter* const table[] = {
      &kGdiPresenter,
      &kHeadlessPresenter,
      nullptr,
  };
  return table;
}
