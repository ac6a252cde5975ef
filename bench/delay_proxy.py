#!/usr/bin/env python3
"""A TCP proxy that holds every byte for DELAY_MS/2 in each direction (a link with a round trip of
DELAY_MS), keeping the order of the bytes:

    bench/delay_proxy.py LISTEN_PORT TARGET_HOST TARGET_PORT DELAY_MS

Prints "ready" once it listens.
"""
import asyncio
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
    one_way = delay_ms / 2000.0

    async def handle(client_reader, client_writer):
        try:
            server_reader, server_writer = await asyncio.open_connection(host, port)
        except OSError:
            client_writer.close()
            return
        await asyncio.gather(pump(client_reader, server_writer, one_way),
                             pump(server_reader, client_writer, one_way))

    server = await asyncio.start_server(handle, "127.0.0.1", listen)
    print("ready", flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    asyncio.run(main())
