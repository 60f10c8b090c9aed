#include "follower/Predictors.h"

#include "core/Errors.h"

#include <gtest/gtest.h>

using namespace korvane;

TEST(FunctionalPredictors, ConstantLinearAndParabolic) {
    TFunctionalPredictor Constant;
    Constant.Update(17);
    EXPECT_EQ(Constant.Prediction, 17);
    EXPECT_EQ(Constant.Delta, 0);
    EXPECT_EQ(Constant.UpdateCount, 0);

    TFunctionalLinearPredictor Linear;
    Linear.Update(10);
    EXPECT_EQ(Linear.Prediction, 10);
    Linear.Update(12);
    EXPECT_EQ(Linear.Prediction, 14);
    EXPECT_EQ(Linear.Delta, 2);
    Linear.Update(13);
    EXPECT_EQ(Linear.Prediction, 14);
    EXPECT_EQ(Linear.Delta, 1);
    Linear.UpdateCount = 0; // a reset starts again from the constant prediction
    Linear.Update(20);
    EXPECT_EQ(Linear.Prediction, 20);
    EXPECT_EQ(Linear.Delta, 0);

    TFunctionalParabolicPredictor Parabolic;
    const int Expected[] = {0, 2, 9, 16};
    const int Rows[] = {0, 1, 4, 9};
    for (int I = 0; I < 4; ++I) {
        Parabolic.Update(Rows[I]);
        EXPECT_EQ(Parabolic.Prediction, Expected[I]) << I;
    }
    EXPECT_EQ(Parabolic.UpdateCount, 2);
    EXPECT_EQ(Parabolic.Delta, 5);
}

TEST(FunctionalPredictors, AssignCopiesWhatBothKnow) {
    TFunctionalParabolicPredictor Parabolic;
    for (int Row : {3, 5, 9})
        Parabolic.Update(Row);
    TFunctionalLinearPredictor Linear;
    Linear.Assign(Parabolic);
    EXPECT_EQ(Linear.Prediction, Parabolic.Prediction);
    EXPECT_EQ(Linear.Delta, 4);
    EXPECT_EQ(Linear.UpdateCount, 2);
    EXPECT_EQ(Linear.Previous, 9);

    TFunctionalParabolicPredictor Target;
    Target.BeforePrevious = 77;
    Target.Assign(Linear); // a linear source leaves BeforePrevious alone
    EXPECT_EQ(Target.Previous, 9);
    EXPECT_EQ(Target.BeforePrevious, 77);

    TFunctionalPredictor Constant;
    Constant.Assign(Parabolic);
    EXPECT_EQ(Constant.Prediction, Parabolic.Prediction);

    TNonfunctionalPredictor Other;
    EXPECT_THROW(Linear.Assign(Other), EConvertError);
}

TEST(NonfunctionalPredictor, StartsAlongItsInitialDirectionThenContinuesTheLastStep) {
    TNonfunctionalPredictor P;
    P.Update({5, 5});
    EXPECT_EQ(P.Prediction, (TLongintPoint{6, 5})); // (0, 0) direction: one step right
    P.Update({7, 4});
    EXPECT_EQ(P.Prediction, (TLongintPoint{9, 3}));
    EXPECT_EQ(P.UpdateCount, 2);
    P.Update({8, 4});
    EXPECT_EQ(P.UpdateCount, 2);
    EXPECT_EQ(P.LastPoint, (TLongintPoint{8, 4}));

    TNonfunctionalPredictor Q;
    Q.InitialDirection = {0, -1};
    Q.Update({3, 3});
    EXPECT_EQ(Q.Prediction, (TLongintPoint{3, 2}));
}
