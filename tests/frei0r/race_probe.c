/* ThreadSanitizer's view of tonefade.so: four instances rendered from four threads at
 * once, and one instance from two threads at once, twenty rounds, each frame compared
 * with the instance's frame alone. Built and run by race_probe.sh against a build made
 * with -fsanitize=thread; exits 1 on a mismatch (and ThreadSanitizer on a race). */
#include <dlfcn.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { W = 181, H = 97, N = W * H };
typedef void *(*Construct)(unsigned, unsigned);
typedef void (*Update)(void *, double, const uint32_t *, uint32_t *);
typedef void (*SetParam)(void *, void *, int);

static Update update;
static uint32_t input[N];
struct job { void *instance; uint32_t *out; };

static void *render(void *arg) {
    struct job *job = arg;
    update(job->instance, 0.05, input, job->out);
    return NULL;
}

static int run_together(struct job *jobs, int count) {
    pthread_t threads[4];
    for (int i = 0; i < count; ++i) pthread_create(&threads[i], NULL, render, &jobs[i]);
    for (int i = 0; i < count; ++i) pthread_join(threads[i], NULL);
    return 0;
}

int main(int argc, char **argv) {
    void *plugin = argc > 1 ? dlopen(argv[1], RTLD_NOW | RTLD_LOCAL) : NULL;
    if (plugin == NULL) { fprintf(stderr, "usage: race_probe TONEFADE_SO (%s)\n", dlerror()); return 2; }
    ((int (*)(void))dlsym(plugin, "f0r_init"))();
    Construct construct = (Construct)dlsym(plugin, "f0r_construct");
    SetParam set = (SetParam)dlsym(plugin, "f0r_set_param_value");
    update = (Update)dlsym(plugin, "f0r_update");
    srand(16);
    for (int i = 0; i < N; ++i) input[i] = (uint32_t)rand() * 2654435761u;
    static uint32_t alone[4][N], out[4][N];
    struct job jobs[4];
    for (int i = 0; i < 4; ++i) {
        double values[8] = {0.3 + i, 0.1, 0.1, 0.9, 0.9, 0.1, 0.1, 1.0};
        jobs[i].instance = construct(W, H);
        for (int k = 0; k < 8; ++k) set(jobs[i].instance, &values[k], k);
        update(jobs[i].instance, 0.05, input, alone[i]);
        jobs[i].out = out[i];
    }
    int mismatches = 0;
    for (int round = 0; round < 20; ++round) {
        run_together(jobs, 4);
        for (int i = 0; i < 4; ++i) mismatches += memcmp(out[i], alone[i], sizeof out[i]) != 0;
        struct job same[2] = {{jobs[0].instance, out[1]}, {jobs[0].instance, out[2]}};
        run_together(same, 2);
        mismatches += (memcmp(out[1], alone[0], sizeof out[1]) != 0) + (memcmp(out[2], alone[0], sizeof out[2]) != 0);
    }
    printf("race_probe: %d mismatches in 20 rounds\n", mismatches);
    return mismatches != 0;
}
