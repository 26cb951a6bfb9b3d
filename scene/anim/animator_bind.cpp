#include "scene/anim/animator_bind.h"

#include "scene/anim/animator.h"

qxbind::ClassBinding animatorBinding() {
  return qxbind::objectBinding(qxbind::objectClass<Animator>("Animator", nullptr));
}
