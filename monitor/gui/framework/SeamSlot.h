#pragma once
// The one process-wide slot of each test seam (TestSeams.h), keyed by its answer type.
#include <utility>

template <class Answer>
Answer& SeamSlot()
{
    static Answer answer;
    return answer;
}

template <class Answer>
Answer ReplaceSeam(Answer answer)
{
    return std::exchange(SeamSlot<Answer>(), std::move(answer));
}
