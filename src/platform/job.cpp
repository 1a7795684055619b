#include "platform/job.h"

#include <utility>

namespace imp::job {
namespace {
thread_local Context* t_current = nullptr;
}

Context* current() {
  return t_current;
}

Scope::Scope(Context ctx) : ctx_(std::move(ctx)), saved_(t_current) {
  t_current = &ctx_;
}

Scope::~Scope() {
  t_current = saved_;
}

}  // namespace imp::job
