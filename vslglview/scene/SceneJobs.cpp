#include "SceneJobs.h"

bool SceneJobs::BeginSupport(int number)
{
    if (IsBusy(number))
        return false;
    m_support.insert(number);
    m_nSupportJobs = m_support.size();
    return true;
}

bool SceneJobs::BeginSlice(QVector<int> const& numbers)
{
    if (AnyJob())
        return false;
    for (int n : numbers)
        m_slice.insert(n);
    m_nSliceJobs = m_slice.size();
    return true;
}

void SceneJobs::CancelSupport(int number)
{
    m_support.remove(number);
    m_nSupportJobs = m_support.size();
}

void SceneJobs::CancelSlice(int number)
{
    m_slice.remove(number);
    m_nSliceJobs = m_slice.size();
}

bool SceneJobs::EndSupport(int number)
{
    if (!m_support.remove(number))
        return false;
    m_nSupportJobs = m_support.size();
    return true;
}

bool SceneJobs::EndSlice(int number)
{
    if (!m_slice.remove(number))
        return false;
    m_nSliceJobs = m_slice.size();
    return true;
}
