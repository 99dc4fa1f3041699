using System;

namespace Tessera
{
    /// <summary>The data is empty, or does not fit the symbol asked for. The message is the
    /// library's: how many bits the data needs and how many the version holds.</summary>
    [Serializable]
    public sealed class EncodeException : Exception
    {
        /// <summary>An exception with a message of the library's own.</summary>
        public EncodeException() { }

        /// <summary>An exception that says why the data cannot be encoded.</summary>
        public EncodeException(string message) : base(message) { }

        /// <summary>An exception that says why, caused by <paramref name="inner"/>.</summary>
        public EncodeException(string message, Exception inner) : base(message, inner) { }
    }
}
