#pragma once
// A small particle system laid out by hand: particles placed where a test
// wants them, one generator for re-emission, optional scene transforms.

#include "generator/Generator.h"
#include "grid/SpatialHashGrid.h"
#include "random_support.h"
#include "sim/ParticleSystem.h"

#include <Inventor/SoDB.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoTransform.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

class SimFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SoDB::init(); }

    void SetUp() override {
        resetRandomState();
        system = std::make_unique<ParticleSystem>(300, 0.5f);
        generator = new Generator(0, 0, 0, 0, 1, 0, 2.5f, 0.5f, 1.0f);
        generator->separator->ref();
        system->addGenerator(generator);
        scene = new SoSeparator;
        scene->ref();
    }
    void TearDown() override {
        scene->unref();
        generator->separator->unref();
        delete generator;
    }

    // Adds an active particle at rest with mass 5 and the given lifetime.
    int32_t place(float x, float y, float z, float lifetime = 9.0f) {
        const int32_t i = system->activeCount++;
        Particle &p = system->particles[i];
        p.mass = 5.0f;
        p.position.setValue(x, y, z);
        p.velocity.setValue(0, 0, 0);
        p.force.setValue(0, 0, 0);
        p.lifetime = lifetime;
        p.transform = new SoTransform;
        scene->addChild(p.transform);
        return i;
    }
    Particle &particle(int32_t i) { return system->particles[i]; }

    // Fills the grid as a step's rebuild does.
    void fillGrid() {
        system->grid->clear();
        for (int32_t i = 0; i < system->activeCount; ++i) {
            const SbVec3f &p = system->particles[i].position;
            system->grid->insert(i, p[0], p[1], p[2]);
        }
    }

    std::unique_ptr<ParticleSystem> system;
    Generator *generator = nullptr;   // owned here; its subgraph is referenced once
    SoSeparator *scene = nullptr;     // holds the particles' transforms
};
