// The frei0r entry points of tonefade.so: the filter's description and parameters, and
// its instances. Only these functions are exported.
// frei0r.h declares the entry points without C linkage for C++.
extern "C" {
#include <frei0r.h>
}

#include "Frei0rInstance.h"

#define TONEFADE_EXPORT extern "C" __attribute__((visibility("default")))

TONEFADE_EXPORT int f0r_init(void) {
    InitFrei0rSide();
    return 1;
}

TONEFADE_EXPORT void f0r_deinit(void) {}

TONEFADE_EXPORT void f0r_get_plugin_info(f0r_plugin_info_t* info) {
    info->name = "tonefade";
    info->author = "Tonefade";
    info->plugin_type = F0R_PLUGIN_TYPE_FILTER;
    // R,G,B,A: the order MLT keeps its frames in, so it converts nothing; and the effect's
    // A,R,G,B is then one byte rotation away, colours in the same order.
    info->color_model = F0R_COLOR_MODEL_RGBA8888;
    info->frei0r_version = FREI0R_MAJOR_VERSION;
    info->major_version = 1;
    info->minor_version = 0;
    info->num_params = kParamCount;
    info->explanation =
        "Turns a rectangle of the frame towards grey by an amount, eased in and out over the clip's fades. "
        "Instances run in parallel, but the effect's own call (driver and kernel) runs one at a time "
        "across all instances, as do creating and destroying them.";
}

TONEFADE_EXPORT void f0r_get_param_info(f0r_param_info_t* info, int param_index) {
    if (param_index < 0 || param_index >= kParamCount) return;
    info->name = kFrei0rParams[param_index].name;
    info->type = F0R_PARAM_DOUBLE;
    info->explanation = kFrei0rParams[param_index].explanation;
}

TONEFADE_EXPORT f0r_instance_t f0r_construct(unsigned int width, unsigned int height) {
    return NewFrei0rInstance(width, height);
}

TONEFADE_EXPORT void f0r_destruct(f0r_instance_t instance) {
    DisposeFrei0rInstance(static_cast<frei0rInstanceRec*>(instance));
}

TONEFADE_EXPORT void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int param_index) {
    auto* self = static_cast<frei0rInstanceRec*>(instance);
    if (self == nullptr || param == nullptr) return;
    std::lock_guard<std::mutex> busy(self->busy);
    SetFrei0rParam(&self->settings, param_index, *static_cast<const double*>(param));
}

TONEFADE_EXPORT void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int param_index) {
    auto* self = static_cast<frei0rInstanceRec*>(instance);
    if (self == nullptr || param == nullptr) return;
    std::lock_guard<std::mutex> busy(self->busy);
    *static_cast<double*>(param) = GetFrei0rParam(&self->settings, param_index);
}

TONEFADE_EXPORT void f0r_update(f0r_instance_t instance, double time, const uint32_t* inframe, uint32_t* outframe) {
    RenderFrei0rFrame(static_cast<frei0rInstanceRec*>(instance), time, inframe, outframe);
}
