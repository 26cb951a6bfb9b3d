#include "scene/anim/animator_bind.h"

#include "scene/anim/animator.h"

namespace {

const qxbind::ClassNotes kAnimatorNotes = {
    "The player of sprite animations inside every `HUDUnit_rect`, driven through that class's methods "
    "(`init_animator`, `add`, `start`, `update`, ...). An Animator made on its own does nothing.",
    {}};

void registerAnimator(qxbind::ClassTable& t) { t.notes(kAnimatorNotes); }

}  // namespace

qxbind::ClassBinding animatorBinding() {
  return qxbind::objectBinding(qxbind::objectClass<Animator>("Animator", &registerAnimator));
}
