#include "VPolygonAlgorithm.h"
#include "scene_fixture.h"

#include <random>

namespace {

class ScenePlacement : public SceneFixture {
protected:
    // True when any two instance hulls overlap (touching is allowed).
    bool AnyOverlap(QString* which = nullptr) const
    {
        const auto list = m_scene.instances().values();
        for (int i = 0; i < list.size(); ++i)
            for (int j = i + 1; j < list.size(); ++j) {
                QVector2D push;
                if (VPolygonAlgorithm::PolygonCollisionPushVector(list[i]->m_hull, list[j]->m_hull, push)) {
                    if (which)
                        *which = QString("%1 and %2").arg(i).arg(j);
                    return true;
                }
            }
        return false;
    }
    // Two ready instances of one 10 mm square box.
    std::pair<VSLModelPainter*, VSLModelPainter*> TwoBoxes(const QString& name)
    {
        const QString path = CenteredBox(name, 10, 10);
        EXPECT_TRUE(m_scene.AddModel(path));
        EXPECT_TRUE(m_scene.AddModel(path));
        EXPECT_TRUE(WaitUntilReady());
        return {m_scene.instances().first(), Last()};
    }
};

TEST_F(ScenePlacement, SecondInstanceOfAWideFootprintGoesTowardsPlusY)
{
    const QString path = CenteredBox("wide", 20, 10);
    ASSERT_TRUE(m_scene.AddModel(path));
    EXPECT_EQ(CenterXY(Last()), QVector2D(0, 0));
    ASSERT_TRUE(m_scene.AddModel(path));
    // d + 4 with d the depth 10.
    EXPECT_EQ(CenterXY(Last()), QVector2D(0, 14));
    ASSERT_TRUE(WaitUntilReady());
}

TEST_F(ScenePlacement, SquareFootprintPrefersTheEarlierOfEquallyNearCandidates)
{
    ASSERT_TRUE(m_scene.AddModel(CenteredBox("sq1", 10, 10)));
    ASSERT_TRUE(m_scene.AddModel(CenteredBox("sq2", 10, 10)));
    EXPECT_EQ(CenterXY(Last()), QVector2D(0, 14));
    // Third: (0, 14) is taken; (14, 0) comes before (-14, 0) and (0, -14).
    ASSERT_TRUE(m_scene.AddModel(CenteredBox("sq3", 10, 10)));
    EXPECT_EQ(CenterXY(Last()), QVector2D(14, 0));
    EXPECT_FALSE(AnyOverlap());
    ASSERT_TRUE(WaitUntilReady());
}

TEST_F(ScenePlacement, DuplicateStartsOverItsSourceAndIsPlacedByTheSameRule)
{
    const QString path = CenteredBox("dup", 10, 10);
    ASSERT_TRUE(m_scene.AddModel(path));
    ASSERT_TRUE(m_scene.AddModel(path));
    ASSERT_TRUE(WaitUntilReady());
    VSLModelPainter* first = m_scene.instances().first();
    Select(first);
    ASSERT_EQ(m_scene.DuplicateSelectedModel(), SceneOp::Done);
    ASSERT_EQ(m_scene.instances().size(), 3);
    VSLModelPainter* copy = Last();
    EXPECT_EQ(copy->m_pModel, first->m_pModel);
    EXPECT_EQ(first->m_pModel->m_nInstanceCount, 3);
    EXPECT_EQ(CenterXY(copy), QVector2D(14, 0));
    EXPECT_EQ(copy->m_maxBound.z(), first->m_maxBound.z());
    EXPECT_FALSE(AnyOverlap());
}

// A copy is as large as its source and says so: the same scale.
TEST_F(ScenePlacement, ACopyOfAScaledInstanceCarriesItsScale)
{
    ASSERT_TRUE(m_scene.AddModel(CenteredBox("scaled", 10, 10)));
    ASSERT_TRUE(WaitUntilReady());
    VSLModelPainter* first = Last();
    Select(first);
    QVector3D scale(2, 2, 2);
    m_scene.SetScaleValue(scale);
    m_scene.m_pendingTransform.setToIdentity();
    m_scene.m_pendingTransform.scale(2);
    ASSERT_EQ(m_scene.Apply(2), SceneOp::Done);
    ASSERT_EQ(m_scene.DuplicateSelectedModel(), SceneOp::Done);
    VSLModelPainter* copy = Last();
    ASSERT_NE(copy, first);
    EXPECT_EQ(copy->m_scale, QVector3D(2, 2, 2));
    EXPECT_FLOAT_EQ(copy->m_maxBound.x() - copy->m_minBound.x(), 20.f);
}

// Reset puts an instance back in the middle of the plate; any there make room.
TEST_F(ScenePlacement, ResetPushesAwayWhatStandsWhereItLands)
{
    const auto [moved, other] = TwoBoxes("r");
    // The first away, the second where the first will land.
    moved->Translate(QVector2D(30, 0) - CenterXY(moved));
    other->Translate(QVector2D(2, 0) - CenterXY(other));
    ASSERT_FALSE(AnyOverlap());
    Select(moved);
    ASSERT_EQ(m_scene.ResetSelectedModel(), SceneOp::Done);
    EXPECT_EQ(CenterXY(moved), QVector2D(0, 0));
    QString which;
    EXPECT_FALSE(AnyOverlap(&which)) << which.toStdString();
}

TEST_F(ScenePlacement, ArrangementLeavingTheBoundIsRecentred)
{
    // Room for one 40 mm square, none beside it either way.
    m_scene.SetBound({30, 30, 200}, {-30, -30, 0}, 50, 50);
    const QString path = CenteredBox("w40", 40, 40);
    ASSERT_TRUE(m_scene.AddModel(path));
    ASSERT_TRUE(m_scene.AddModel(path));
    // Nearest was (0, 44); the box y -20..64 then shifted by (0, -22).
    EXPECT_EQ(CenterXY(Last()), QVector2D(0, 22));
    ASSERT_TRUE(m_scene.AddModel(path));
    ASSERT_TRUE(WaitUntilReady());
    // Third went to (44, 22), the first of the nearest; the box x -20..64 then shifted by (-22, 0).
    const auto list = m_scene.instances().values();
    EXPECT_EQ(QVector<QVector2D>({CenterXY(list[0]), CenterXY(list[1]), CenterXY(list[2])}),
              QVector<QVector2D>({{-22, -22}, {-22, 22}, {22, 22}}));
    EXPECT_EQ(list[0]->m_minBound.x(), -42.f);
    EXPECT_EQ(list[2]->m_maxBound.x(), 42.f);
    EXPECT_FALSE(AnyOverlap());
}

// Of equally near spots, one where everything fits on the plate goes before
// one where it cannot: two 40 mm squares on a plate 121 x 68 mm stand side
// by side (centred together), not one behind the other, which the earlier
// spot (towards +Y) would give. Where nothing fits, the nearest spot.
TEST_F(ScenePlacement, ASpotWhereAllFitsOnThePlateGoesBeforeOneWhereItCannot)
{
    m_scene.SetBound({60.5f, 34, 200}, {-60.5f, -34, 0}, 50, 50);
    const QString path = CenteredBox("w40", 40, 40);
    ASSERT_TRUE(m_scene.AddModel(path));
    ASSERT_TRUE(m_scene.AddModel(path));
    // Went to (44, 0), leaving the plate until the pair was centred.
    auto list = m_scene.instances().values();
    EXPECT_EQ(QVector<QVector2D>({CenterXY(list[0]), CenterXY(list[1])}), QVector<QVector2D>({{-22, 0}, {22, 0}}));
    EXPECT_EQ(m_scene.CountLeavingPlate(), 0);
    // No room for a third anywhere: the nearest spot, (22, 44), first of the
    // equally near, and the whole centred again.
    ASSERT_TRUE(m_scene.AddModel(path));
    list = m_scene.instances().values();
    EXPECT_EQ(QVector<QVector2D>({CenterXY(list[0]), CenterXY(list[1]), CenterXY(list[2])}),
              QVector<QVector2D>({{-22, -22}, {22, -22}, {22, 22}}));
    ASSERT_TRUE(WaitUntilReady());
    EXPECT_FALSE(AnyOverlap());
}

// A spot where the new copy fits as things stand goes before a nearer one
// that fits only once the whole arrangement is centred, which would move
// what the user placed by hand.
TEST_F(ScenePlacement, ASpotThatMovesNothingGoesBeforeOneThatRecentres)
{
    m_scene.SetBound({25, 100, 200}, {-25, -100, 0}, 50, 50);
    const QString path = CenteredBox("sq20", 20, 20);
    ASSERT_TRUE(m_scene.AddModel(path));
    VSLModelPainter* placed = Last();
    placed->Move({4, 0, 0});
    ASSERT_TRUE(m_scene.AddModel(path));
    // (-20, 0) is nearer but leaves the plate until centred; (4, 24) fits.
    EXPECT_EQ(CenterXY(Last()), QVector2D(4, 24));
    EXPECT_EQ(CenterXY(placed), QVector2D(4, 0));
    EXPECT_EQ(m_scene.CountLeavingPlate(), 0);
    ASSERT_TRUE(WaitUntilReady());
    EXPECT_FALSE(AnyOverlap());
}

TEST_F(ScenePlacement, MoveOntoANeighbourPushesAChainOfThree)
{
    const QString path = CenteredBox("chain", 10, 10);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(m_scene.AddModel(path));
    ASSERT_TRUE(WaitUntilReady());
    const auto list = m_scene.instances().values();
    VSLModelPainter *a = list[0], *b = list[1], *c = list[2];
    // Line them up at x = -14, 0, 14 on y = 0, hulls 2 mm apart.
    a->Translate(QVector2D(-14, 0));
    b->Translate(-CenterXY(b));
    c->Translate(QVector2D(14, 0) - CenterXY(c));
    ASSERT_FALSE(AnyOverlap());
    Select(a);
    m_scene.EditMode = 0;
    m_scene.m_pendingTransform.translate(10, 0, 0);
    ASSERT_EQ(m_scene.Apply(), SceneOp::Done);
    EXPECT_TRUE(m_scene.m_pendingTransform.isIdentity());
    // a's hull -10..2 overlaps b's -6..6 by 8: b moves 8 + 1; then c by 7 + 1.
    EXPECT_EQ(QVector<QVector2D>({CenterXY(a), CenterXY(b), CenterXY(c)}),
              QVector<QVector2D>({{-4, 0}, {9, 0}, {22, 0}}));
    EXPECT_FALSE(AnyOverlap());
}

TEST_F(ScenePlacement, InstanceOutsideTheBoundNeitherPushesNorIsPushed)
{
    const auto [a, b] = TwoBoxes("out");
    b->Translate(QVector2D(44, -14)); // b at (44, 0): sticks out at x 49
    a->Translate(QVector2D(40, 0));   // a overlaps b
    EXPECT_TRUE(m_scene.PushFree(a));
    EXPECT_EQ(CenterXY(b), QVector2D(44, 0));
    EXPECT_TRUE(m_scene.PushFree(b));
    EXPECT_EQ(CenterXY(a), QVector2D(40, 0));
}

TEST_F(ScenePlacement, PushFreeOfAStackEndsWithinItsBound)
{
    m_scene.SetBound({1000, 1000, 200}, {-1000, -1000, 0}, 50, 50);
    const QString path = CenteredBox("stack", 10, 10);
    for (int i = 0; i < 12; ++i)
        ASSERT_TRUE(m_scene.AddModel(path));
    ASSERT_TRUE(WaitUntilReady());
    // Everything piled on the first instance.
    for (VSLModelPainter* p : m_scene.instances())
        p->Translate(-CenterXY(p));
    VSLModelPainter* first = m_scene.instances().first();
    const bool complete = m_scene.PushFree(first);
    // Complete or cut short by the bound: nothing it could push overlaps it, nothing left the plate.
    for (VSLModelPainter* p : m_scene.instances()) {
        QVector2D push;
        if (p != first) {
            EXPECT_FALSE(VPolygonAlgorithm::PolygonCollisionPushVector(p->m_hull, first->m_hull, push) && complete);
        }
        EXPECT_FALSE(m_scene.IsOutRange(p));
    }
}

// Mixed footprints, repeated files and duplicates with ample room: no overlap, all inside.
TEST_F(ScenePlacement, RandomMixedPlacementsNeverOverlapWhenThereIsRoom)
{
    m_scene.SetBound({250, 250, 200}, {-250, -250, 0}, 50, 50);
    std::mt19937 rng(20240611);
    std::uniform_real_distribution<float> size(2.f, 25.f);
    std::uniform_int_distribution<int> kind(0, 9);
    QStringList files;
    for (int round = 0; round < 3; ++round) {
        for (int n = 0; n < 30; ++n) {
            const int k = kind(rng);
            if (k < 5 || files.isEmpty()) {
                const QString f = CenteredBox(QString("r%1_%2").arg(round).arg(n), size(rng), size(rng));
                files << f;
                ASSERT_TRUE(m_scene.AddModel(f));
            } else if (k < 7) {
                ASSERT_TRUE(m_scene.AddModel(files[int(rng() % files.size())]));
            } else if (k < 9) {
                const QString f = m_dir.filePath(QString("t%1_%2.stl").arg(round).arg(n));
                auto tris = testmesh::Tetrahedron(size(rng));
                ASSERT_TRUE(testmesh::WriteFile(f, testmesh::BinaryStl(tris)));
                files << f;
                ASSERT_TRUE(m_scene.AddModel(f));
            } else {
                Select(m_scene.instances().value(m_scene.instances().keys()[int(rng() % m_scene.instances().size())]));
                ASSERT_EQ(m_scene.DuplicateSelectedModel(), SceneOp::Done);
            }
            QString which;
            ASSERT_FALSE(AnyOverlap(&which)) << "round " << round << " step " << n << ": " << which.toStdString();
        }
        for (VSLModelPainter* p : m_scene.instances())
            ASSERT_FALSE(m_scene.IsOutRange(p));
        ASSERT_TRUE(WaitUntilReady());
        // Start the next round from an empty plate.
        while (!m_scene.instances().isEmpty()) {
            Select(m_scene.instances().first());
            ASSERT_EQ(m_scene.RemoveSelectedModel(), SceneOp::Done);
        }
        files.clear();
    }
}

} // namespace
