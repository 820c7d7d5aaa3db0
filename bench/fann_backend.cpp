// Built twice: once over doublefann.h and once over floatfann.h (QUAR_FANN_FLOAT). The header
// gives the types; the functions come from dlopen with local binding.
#ifdef QUAR_FANN_FLOAT
#include <floatfann.h>
#define QUAR_FANN_LIBRARY "libfloatfann.so.2"
#define QUAR_FANN_NAME "FANN float"
#define QUAR_FANN_GETTER FannFloat
#else
#include <doublefann.h>
#define QUAR_FANN_LIBRARY "libdoublefann.so.2"
#define QUAR_FANN_NAME "FANN double"
#define QUAR_FANN_GETTER FannDouble
#endif

#include "fann_backend.h"

#include <dlfcn.h>

#include <cstdio>

namespace {

struct Api {
    decltype(&fann_create_standard_array) createStandard;
    decltype(&fann_create_train) createTrain;
    decltype(&fann_set_training_algorithm) setAlgorithm;
    decltype(&fann_set_learning_rate) setRate;
    decltype(&fann_set_learning_momentum) setMomentum;
    decltype(&fann_set_activation_function_hidden) setHidden;
    decltype(&fann_set_activation_function_output) setOutput;
    decltype(&fann_randomize_weights) randomize;
    decltype(&fann_train_epoch) trainEpoch;
    decltype(&fann_get_total_connections) totalConnections;
    decltype(&fann_destroy_train) destroyTrain;
    decltype(&fann_destroy) destroy;
} api;

struct Net {
    fann* ann;
    fann_train_data* data;
};

template <class F> bool Bind(void* library, const char* name, F& slot) {
    slot = reinterpret_cast<F>(dlsym(library, name));
    if (slot == nullptr) std::printf("%s: no %s\n", QUAR_FANN_LIBRARY, name);
    return slot != nullptr;
}

bool Load() {
    void* library = dlopen(QUAR_FANN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::printf("%s not loaded: %s\n", QUAR_FANN_LIBRARY, dlerror());
        return false;
    }
    return Bind(library, "fann_create_standard_array", api.createStandard) &&
           Bind(library, "fann_create_train", api.createTrain) &&
           Bind(library, "fann_set_training_algorithm", api.setAlgorithm) &&
           Bind(library, "fann_set_learning_rate", api.setRate) &&
           Bind(library, "fann_set_learning_momentum", api.setMomentum) &&
           Bind(library, "fann_set_activation_function_hidden", api.setHidden) &&
           Bind(library, "fann_set_activation_function_output", api.setOutput) &&
           Bind(library, "fann_randomize_weights", api.randomize) &&
           Bind(library, "fann_train_epoch", api.trainEpoch) &&
           Bind(library, "fann_get_total_connections", api.totalConnections) &&
           Bind(library, "fann_destroy_train", api.destroyTrain) &&
           Bind(library, "fann_destroy", api.destroy);
}

void* Create(const std::vector<unsigned>& layers, const std::vector<double>& inputs,
             const std::vector<double>& targets, unsigned patterns, double rate, double momentum) {
    fann* ann = api.createStandard(unsigned(layers.size()), layers.data());
    if (ann == nullptr) return nullptr;
    api.setAlgorithm(ann, FANN_TRAIN_INCREMENTAL);
    api.setRate(ann, float(rate));
    api.setMomentum(ann, float(momentum));
    api.setHidden(ann, FANN_SIGMOID);
    api.setOutput(ann, FANN_SIGMOID);
    api.randomize(ann, fann_type(-0.5), fann_type(0.5));
    const unsigned in = layers.front(), out = layers.back();
    fann_train_data* data = api.createTrain(patterns, in, out);
    for (unsigned p = 0; p < patterns; ++p) {
        for (unsigned i = 0; i < in; ++i)
            data->input[p][i] = fann_type(inputs[size_t(p) * in + i]);
        for (unsigned k = 0; k < out; ++k)
            data->output[p][k] = fann_type(targets[size_t(p) * out + k]);
    }
    return new Net{ann, data};
}

void Train(void* net, int epochs) {
    Net* n = static_cast<Net*>(net);
    for (int e = 0; e < epochs; ++e)
        api.trainEpoch(n->ann, n->data);
}

unsigned Connections(void* net) {
    return api.totalConnections(static_cast<Net*>(net)->ann);
}

void Destroy(void* net) {
    Net* n = static_cast<Net*>(net);
    api.destroyTrain(n->data);
    api.destroy(n->ann);
    delete n;
}

} // namespace

const FannBackend& QUAR_FANN_GETTER() {
    static const FannBackend backend{QUAR_FANN_NAME, Load, Create, Train, Connections, Destroy};
    return backend;
}
