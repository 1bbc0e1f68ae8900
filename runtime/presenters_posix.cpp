// The native build's presenters in their default order: a real SDL window when a display opens,
// else no window at all.
#include "runtime/screen_state.h"

const Presenter* const* presenterTable() {
  static const Presenter* const table[] = {
#ifdef KESTRUNE_HAVE_SDL
      &kSdlPresenter,
#endif
      &kHeadlessPresenter,
      nullptr,
  };
  return table;
}
