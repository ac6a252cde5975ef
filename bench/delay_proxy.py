#!/usr/bin/env python3
"""A TCP proxy that holds every byte for DELAY_MS/2 in each direction (a link with a round trip of
DELAY_MS), keeping the order of the bytes:

    bench/delay_proxy.py LISTEN_PORT TARGET_HOST TARGET_PORT DELAY_MS [CUT_FILE]

Prints "ready" once it listens. While CUT_FILE exists the link is cut: every open connection is
closed at once and new ones are closed as they come.
"""
import asyncio
import os
import sys


async def pump(reader, writer, delay):
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()

    async def sender():
        while True:
            due, data = await queue.get()
            if data is None:
                break
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            writer.write(data)
            await writer.drain()
        writer.close()

    task = asyncio.create_task(sender())
    try:
        while True:
            data = await reader.read(65536)
            if not data:
                break
            queue.put_nowait((loop.time() + delay, data))
    except ConnectionError:
        pass
    queue.put_nowait((loop.time() + delay, None))
    try:
        await task
    except ConnectionError:
        pass


async def main():
    listen, host, port, delay_ms = int(sys.argv[1]), sys.argv[2], int(sys.argv[3]), float(sys.argv[4])
    cut_file = sys.argv[5] if len(sys.argv) == 6 else None
    one_way = delay_ms / 2000.0
    open_writers = set()

    def cut():
        return cut_file is not None and os.path.exists(cut_file)

    async def watch():
        while True:
            if cut():
                for w in list(open_writers):
                    w.transport.abort()
                open_writers.clear()
            await asyncio.sleep(0.05)

    async def handle(client_reader, client_writer):
        if cut():
            client_writer.transport.abort()
            return
        try:
            server_reader, server_writer = await asyncio.open_connection(host, port)
        except OSError:
            client_writer.close()
            return
        open_writers.update((client_writer, server_writer))
        try:
            await asyncio.gather(pump(client_reader, server_writer, one_way),
                                 pump(server_reader, client_writer, one_way))
        except ConnectionError:
            pass
        open_writers.discard(client_writer)
        open_writers.discard(server_writer)

    if cut_file is not None:
        asyncio.create_task(watch())
    server = await asyncio.start_server(handle, "127.0.0.1", listen)
    print("ready", flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    if len(sys.argv) not in (5, 6):
        sys.exit(__doc__)
    asyncio.run(main())
