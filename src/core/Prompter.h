#pragma once

#include <string>
#include <vector>

namespace korvane {

// The document asks the user through this interface and never raises dialogs itself: the
// program answers with message boxes, tests and the command-line tool with scripted answers.
enum class EMessageKind { Information, Warning, Error, Confirmation };

enum class EMessageAnswer { Yes, No, Cancel, OK };

// The buttons a message offers, as a set.
enum EMessageButtons : unsigned {
    mbYes = 1,
    mbNo = 2,
    mbCancel = 4,
    mbOK = 8,
    mbYesNo = mbYes | mbNo,
    mbYesNoCancel = mbYes | mbNo | mbCancel,
};

class IPrompter {
public:
    virtual ~IPrompter() = default;
    // Shows Text and returns the button the user chose.
    virtual EMessageAnswer Ask(EMessageKind Kind, const std::string& Text, unsigned Buttons) = 0;
};

// Answers from a script, in order, and records what it was asked. When the script runs
// out it answers Cancel where offered, else No, else OK.
class TScriptedPrompter : public IPrompter {
public:
    struct TQuestion {
        EMessageKind Kind;
        std::string Text;
        unsigned Buttons;
    };

    explicit TScriptedPrompter(std::vector<EMessageAnswer> Answers = {})
        : FAnswers(std::move(Answers)) {}

    EMessageAnswer Ask(EMessageKind Kind, const std::string& Text, unsigned Buttons) override {
        Asked.push_back({Kind, Text, Buttons});
        if (FNext < FAnswers.size())
            return FAnswers[FNext++];
        if (Buttons & mbCancel)
            return EMessageAnswer::Cancel;
        if (Buttons & mbNo)
            return EMessageAnswer::No;
        return EMessageAnswer::OK;
    }

    // Adds an answer after the scripted ones.
    void Queue(EMessageAnswer Answer) { FAnswers.push_back(Answer); }

    std::vector<TQuestion> Asked;

private:
    std::vector<EMessageAnswer> FAnswers;
    std::size_t FNext = 0;
};

} // namespace korvane
